// Unit tests of the run's decisions against a recording desktop with a manual clock.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "notifier/notifier_session.hpp"
#include "notifier/notifier_state.hpp"
#include "support/text_conversion.hpp"

namespace {

using notifier::IconOutcome;
using notifier::IconRequest;
using notifier::RunState;
using notifier::Selection;
using notifier::Timer;
using Record = std::vector<std::string>;

const std::u16string download_address = u"https://quorvane.example/openjdk/download";

// Records what the session asks of it; the test says whether the taskbar takes the icon, whether
// the timers and the browser start, how often the user is busy, and what happens while the dialog
// is open. The 8-hour timer's start is not recorded: advance_to shows what it does.
class RecordingDesktop final : public notifier::Desktop {
public:
    bool taskbar_up = true;
    bool timer_starts = true;
    bool browser_starts = true;
    int busy_answers = 0;
    notifier::DialogAnswer answer = notifier::DialogAnswer::closed;
    std::function<void()> while_dialog_open;
    Record record;
    int64_t now_ms = 0;
    std::array<std::optional<int64_t>, 3> due_ms;
    std::array<uint32_t, 3> interval_ms{};
    std::optional<int> status;
    notifier::DesktopEvents* events = nullptr;

    bool open(notifier::DesktopEvents& sink) override {
        events = &sink;
        return true;
    }
    IconOutcome show_icon(IconRequest request, bool with_balloon) override {
        const char* names[] = {"add", "check and add", "add again"};
        record.push_back(std::string(names[static_cast<int>(request)]) + (with_balloon ? " with balloon" : ""));
        return taskbar_up ? IconOutcome{true, ""} : IconOutcome{false, "no taskbar"};
    }
    bool start_timer(Timer which, uint32_t millis) override {
        const char* names[] = {"timer ", "balloon timer ", nullptr};
        if (names[static_cast<int>(which)] != nullptr) {
            record.push_back(names[static_cast<int>(which)] + std::to_string(millis));
        }
        if (timer_starts) {
            due_ms[static_cast<int>(which)] = now_ms + millis;
            interval_ms[static_cast<int>(which)] = millis;
        }
        return timer_starts;
    }
    void stop_timer(Timer which) override { due_ms[static_cast<int>(which)].reset(); }
    notifier::NoticeAttention user_attention() override {
        const bool busy = busy_answers > 0;
        busy_answers -= busy ? 1 : 0;
        return {!busy, busy ? "quiet time" : "accepts notifications"};
    }
    notifier::DialogAnswer run_update_dialog(bool offer_choices) override {
        record.push_back(offer_choices ? "dialog" : "dialog without choices");
        if (while_dialog_open) {
            while_dialog_open();
        }
        record.push_back("dialog closed");
        return answer;
    }
    void bring_update_dialog_to_front() override { record.push_back("front"); }
    void close_update_dialog() override { record.push_back("close dialog"); }
    bool open_download_page(const std::u16string& address) override {
        record.push_back("open " + checker::narrow(address));
        return browser_starts;
    }
    void show_browser_failure() override { record.push_back("browser failure"); }
    int run_until_end() override { return status.value_or(-1); }
    void end(int exit_status) override {
        record.push_back("end " + std::to_string(exit_status));
        status = exit_status;
    }

    // Moves the clock to `ms`; the timers fire on the way whenever they are due, and come due
    // again until stopped.
    void advance_to(int64_t ms) {
        for (;;) {
            std::optional<std::size_t> next;
            for (std::size_t which = 0; which < due_ms.size(); ++which) {
                if (due_ms[which] && *due_ms[which] <= ms && (!next || *due_ms[which] < *due_ms[*next])) {
                    next = which;
                }
            }
            if (!next) {
                break;
            }
            now_ms = *due_ms[*next];
            due_ms[*next] = now_ms + interval_ms[*next];
            events->timer_due(static_cast<Timer>(*next));
        }
        now_ms = ms;
    }
};

class SessionTest : public ::testing::Test {
protected:
    RecordingDesktop desktop;
    notifier::NotifierSession session{desktop, download_address, true};

    void SetUp() override {
        notifier::notifier_state.tracer.set_enabled(true);
        desktop.open(session);
    }
    void TearDown() override { notifier::notifier_state.tracer.set_enabled(false); }

    // Starts with the taskbar there or not.
    void start(bool taskbar_up) {
        desktop.taskbar_up = taskbar_up;
        session.start();
    }
    static std::vector<std::string> events() {
        std::vector<std::string> texts;
        const char* key = nullptr;
        json_t* value = nullptr;
        json_object_foreach(notifier::notifier_state.tracer.events().get(), key, value) {
            texts.emplace_back(json_string_value(value));
        }
        return texts;
    }
    static bool traced(const std::string& text) {
        const auto all = events();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
};

TEST_F(SessionTest, EachEventLeadsToItsState) {
    struct Case {
        const char* name;
        bool taskbar_up;
        std::function<void(notifier::NotifierSession&, RecordingDesktop&)> events;
        RunState state;
        Record record;
    };
    const Case cases[] = {
        {"icon shown", true, [](auto&, auto&) {}, RunState::showing, {"add with balloon"}},
        {"the icon stays after its balloon timed out, and a click still opens the dialog", true,
         [](auto& s, auto&) {
             s.balloon_timed_out();
             EXPECT_EQ(s.state(), RunState::showing);
             s.icon_selected(Selection::click);
         },
         RunState::ending, {"add with balloon", "dialog", "dialog closed", "end 0"}},
        {"a balloon hidden while the user is busy comes again once they are not", true,
         [](auto& s, auto& d) {
             d.busy_answers = 2;
             s.balloon_hidden();
             d.advance_to(60000);
             d.advance_to(120000);
         },
         RunState::showing, {"add with balloon", "balloon timer 60000", "balloon timer 60000", "check and add with balloon"}},
        {"the session's end removes the icon", true, [](auto& s, auto&) { s.session_ending(); }, RunState::ending,
         {"add with balloon", "end 0"}},
        {"the session's end closes the open dialog", true,
         [](auto& s, auto& d) {
             d.while_dialog_open = [&s] { s.session_ending(); };
             s.icon_selected(Selection::key);
         },
         RunState::ending, {"add with balloon", "dialog", "end 0", "dialog closed"}},
        {"an icon nobody answers goes after 8 hours", true,
         [](auto& s, auto& d) {
             d.advance_to(28799999);
             EXPECT_EQ(s.state(), RunState::showing);
             d.advance_to(28800000);
         },
         RunState::ending, {"add with balloon", "end 0"}},
        {"a dialog open at the 8-hour end is left to the user", true,
         [](auto& s, auto& d) {
             d.while_dialog_open = [&d] { d.advance_to(30000000); };
             s.icon_selected(Selection::click);
         },
         RunState::ending, {"add with balloon", "dialog", "dialog closed", "end 0"}},
        {"no taskbar", false, [](auto&, auto&) {}, RunState::waiting_for_taskbar, {"add with balloon", "timer 1000"}},
        {"selection and time-out wait for the icon", false,
         [](auto& s, auto&) {
             s.icon_selected(Selection::click);
             s.balloon_timed_out();
         },
         RunState::waiting_for_taskbar, {"add with balloon", "timer 1000"}},
        {"the taskbar comes", false,
         [](auto& s, auto& d) {
             d.taskbar_up = true;
             s.taskbar_created();
         },
         RunState::showing, {"add with balloon", "timer 1000", "add again with balloon"}},
        {"the taskbar goes", true,
         [](auto& s, auto& d) {
             d.taskbar_up = false;
             s.taskbar_created();
         },
         RunState::waiting_for_taskbar, {"add with balloon", "add again with balloon", "timer 1000"}},
        {"a retry finds the taskbar", false,
         [](auto&, auto& d) {
             d.taskbar_up = true;
             d.advance_to(1000);
         },
         RunState::showing, {"add with balloon", "timer 1000", "check and add with balloon"}},
        {"the dialog's close ends the run", true, [](auto& s, auto&) { s.icon_selected(Selection::click); },
         RunState::ending, {"add with balloon", "dialog", "dialog closed", "end 0"}},
        {"nothing after the end", true,
         [](auto& s, auto& d) {
             s.session_ending();
             s.taskbar_created();
             s.icon_selected(Selection::key);
             s.session_ending();
             d.advance_to(30000000);
         },
         RunState::ending, {"add with balloon", "end 0"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        RecordingDesktop fresh;
        notifier::NotifierSession run(fresh, download_address, true);
        fresh.open(run);
        fresh.taskbar_up = test.taskbar_up;
        run.start();
        test.events(run, fresh);
        EXPECT_EQ(run.state(), test.state);
        EXPECT_EQ(fresh.record, test.record);
    }
}

TEST_F(SessionTest, ABalloonHeldBackAtTheStartComesOnceTheUserCanSeeIt) {
    desktop.busy_answers = 1;
    start(true);
    desktop.advance_to(60000);
    EXPECT_EQ(desktop.record, (Record{"add with balloon", "balloon timer 60000", "check and add with balloon"}));
    EXPECT_TRUE(traced("balloon not seen, user notification state: [quiet time], next try in 60 s"));
    EXPECT_FALSE(desktop.due_ms[1]);
}

TEST_F(SessionTest, TheDialogOffersTheChoicesWhenAllowedAndTheAnswerIsKept) {
    using notifier::DialogAnswer;
    struct Case {
        bool offer;
        DialogAnswer answer;
        const char* opened;
        const char* last_traced;
    };
    const Case cases[] = {
        {true, DialogAnswer::remind_later, "dialog", "'Remind me later' selected"},
        {true, DialogAnswer::skip_version, "dialog", "'Skip this version' selected"},
        {true, DialogAnswer::closed, "dialog", "'NIN_SELECT' event received"},
        {false, DialogAnswer::closed, "dialog without choices", "'NIN_SELECT' event received"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.opened);
        RecordingDesktop fresh;
        fresh.answer = test.answer;
        notifier::NotifierSession run(fresh, download_address, test.offer);
        fresh.open(run);
        run.start();
        EXPECT_EQ(run.answer(), DialogAnswer::closed);
        run.icon_selected(Selection::click);
        EXPECT_EQ(run.answer(), test.answer);
        EXPECT_EQ(fresh.record, (Record{"add with balloon", test.opened, "dialog closed", "end 0"}));
        EXPECT_EQ(events().back(), test.last_traced);
    }
}

TEST_F(SessionTest, EverySelectionOpensTheDialogAndIsTracedByItsEvent) {
    const std::pair<Selection, const char*> selections[] = {{Selection::click, "'NIN_SELECT' event received"},
                                                            {Selection::key, "'NIN_KEYSELECT' event received"},
                                                            {Selection::balloon_click, "'NIN_BALLOONUSERCLICK' event received"},
                                                            {Selection::context_menu, "'WM_CONTEXTMENU' event received"}};
    for (const auto& selection : selections) {
        SCOPED_TRACE(selection.second);
        RecordingDesktop fresh;
        notifier::NotifierSession run(fresh, download_address, true);
        fresh.open(run);
        run.start();
        run.icon_selected(selection.first);
        EXPECT_EQ(fresh.record, (Record{"add with balloon", "dialog", "dialog closed", "end 0"}));
        EXPECT_EQ(events().back(), selection.second);
    }
}

TEST_F(SessionTest, RetriesDoubleUpTo64SecondsThenTheRunEndsWithStatus1After127Seconds) {
    start(false);
    desktop.advance_to(126999);
    EXPECT_FALSE(desktop.status);
    desktop.advance_to(127000);
    EXPECT_EQ(desktop.status, 1);
    Record expected{"add with balloon"};
    for (uint32_t wait = 1000; wait <= 64000; wait *= 2) {
        expected.push_back("timer " + std::to_string(wait));
        expected.push_back("check and add with balloon");
    }
    expected.push_back("end 1");
    EXPECT_EQ(desktop.record, expected);
    EXPECT_TRUE(traced("icon not shown, next try in 64 s"));
    EXPECT_EQ(events().back(), "taskbar not available in time, giving up, error: [no taskbar]");
}

TEST_F(SessionTest, ATimerThatCannotBeSetEndsTheRunWithStatus1) {
    desktop.timer_starts = false;
    start(false);
    EXPECT_EQ(desktop.record, (Record{"add with balloon", "timer 1000", "end 1"}));
}

TEST_F(SessionTest, AnIconShownStartsTheRetriesAfresh) {
    start(false);
    desktop.advance_to(3000);  // retries at 1 and 3 s failed, the next in 4 s
    desktop.taskbar_up = true;
    session.taskbar_created();
    EXPECT_FALSE(desktop.due_ms[0]);
    desktop.taskbar_up = false;
    session.taskbar_created();
    EXPECT_EQ(desktop.record.back(), "timer 1000");
}

TEST_F(SessionTest, TheBalloonComesAgainOnlyBeforeTheDialogOpens) {
    start(true);
    session.taskbar_created();
    desktop.while_dialog_open = [this] { session.taskbar_created(); };
    session.icon_selected(Selection::click);
    EXPECT_EQ(desktop.record, (Record{"add with balloon", "add again with balloon", "dialog", "add again",
                                      "dialog closed", "end 0"}));
}

TEST_F(SessionTest, ATaskbarMissingWhileTheDialogIsOpenLeavesTheDialogToTheUser) {
    start(true);
    desktop.while_dialog_open = [this] {
        desktop.taskbar_up = false;
        session.taskbar_created();
        desktop.advance_to(200000);
        EXPECT_FALSE(desktop.status);
        EXPECT_EQ(session.state(), RunState::dialog_open);
    };
    session.icon_selected(Selection::click);
    EXPECT_TRUE(traced("taskbar not available in time, giving up, error: [no taskbar]"));
    EXPECT_EQ(desktop.record.back(), "end 0");
}

TEST_F(SessionTest, ASecondSelectionBringsTheDialogToTheFront) {
    start(true);
    desktop.while_dialog_open = [this] {
        session.icon_selected(Selection::key);
        session.icon_selected(Selection::balloon_click);
        session.balloon_timed_out();
    };
    session.icon_selected(Selection::click);
    EXPECT_EQ(desktop.record, (Record{"add with balloon", "dialog", "front", "front", "dialog closed", "end 0"}));
    EXPECT_TRUE(traced("additional update dialog prevented"));
}

TEST_F(SessionTest, OnlyTheDialogsOwnHttpsLinkIsOpened) {
    struct Case {
        std::u16string configured, followed;
        Record record;
        const char* traced;
    };
    const Case cases[] = {
        {download_address, download_address,
         {"open https://quorvane.example/openjdk/download", "close dialog"}, "update proceed selected"},
        {download_address, u"file:///etc/passwd", {}, "unexpected link not opened, href: [file:///etc/passwd]"},
        {download_address, u"https://elsewhere.example/", {},
         "unexpected link not opened, href: [https://elsewhere.example/]"},
        {u"ERROR_LOAD_RESOURCE", u"ERROR_LOAD_RESOURCE", {}, "unexpected link not opened, href: [ERROR_LOAD_RESOURCE]"},
        {u"http://quorvane.example/", u"http://quorvane.example/", {},
         "unexpected link not opened, href: [http://quorvane.example/]"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.traced);
        RecordingDesktop fresh;
        notifier::NotifierSession run(fresh, test.configured, true);
        run.link_followed(test.followed);
        EXPECT_EQ(fresh.record, test.record);
        EXPECT_EQ(events().back(), test.traced);
    }
}

TEST_F(SessionTest, ABrowserThatCannotStartIsReportedThenTheDialogCloses) {
    desktop.browser_starts = false;
    session.link_followed(download_address);
    EXPECT_EQ(desktop.record,
              (Record{"open https://quorvane.example/openjdk/download", "browser failure", "close dialog"}));
}

}  // namespace
