// The one place that includes <windows.h>, for the Win32 side of the platform seams.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <windows.h>
// After <windows.h>, which it needs; the checker asks WinHTTP for the Internet settings.
#include <winhttp.h>
// The chain engine, for the certificate verifier; CERT_CHAIN_PARA then has its time-out member.
// wincrypt.h defines X509_NAME and a few more OpenSSL names as macros: OpenSSL's headers, included
// after this one, take them back.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <wincrypt.h>
