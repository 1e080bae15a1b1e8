/* Resource ids shared by the resource scripts and the notifier's code. */
#pragma once

#define IDI_NOTIFICATIONICON 121
