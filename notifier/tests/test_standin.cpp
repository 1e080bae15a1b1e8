// Unit tests of the stand-in: string resources, window life cycle, message queue, notification area, bitmaps, mutex.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "notifier/standin/standin_module.hpp"
#include "notifier/standin/win32_standin.hpp"

namespace {

const std::u16string long_text(5000, u'x');
const standin::StringResource test_strings[] = {
    {141, u"quorvane OpenJDK update"},
    {143, u""},
    {200, long_text.c_str()},
};
constexpr UINT test_icon = 121;

class StandinTest : public ::testing::Test {
protected:
    void SetUp() override { standin::install_module(test_strings, 3, {test_icon}); }
};

// Window procedure that records the messages it gets; refuses creation when asked to.
std::vector<UINT> received;
bool refuse_creation = false;

LRESULT CALLBACK recording_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    received.push_back(message);
    if (message == WM_CREATE) {
        return refuse_creation ? -1 : 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND create_window(const char16_t* class_name) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = recording_procedure;
    window_class.lpszClassName = class_name;
    RegisterClassExW(&window_class);
    received.clear();
    return CreateWindowExW(0, class_name, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

std::string temporary_file(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    return path;
}

// A 2 x 2 pixel, 24-bit bottom-up bitmap file.
std::string small_bitmap() {
    std::string bytes = "BM";
    const auto put32 = [&bytes](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFF);
    };
    const auto put16 = [&bytes](uint16_t value) {
        bytes += static_cast<char>(value & 0xFF);
        bytes += static_cast<char>(value >> 8);
    };
    put32(14 + 40 + 16);
    put32(0);
    put32(14 + 40);
    put32(40);
    put32(2);
    put32(2);
    put16(1);
    put16(24);
    for (int field = 0; field < 6; ++field) put32(0);
    bytes += std::string(16, '\x7f');  // two rows of 6 bytes, each padded to 8
    return bytes;
}

}  // namespace

TEST_F(StandinTest, LoadStringCopiesAndCutsToCapacityLessOne) {
    WCHAR buffer[128];
    EXPECT_EQ(LoadStringW(nullptr, 141, buffer, 128), 23);
    EXPECT_EQ(std::u16string(buffer), u"quorvane OpenJDK update");
    EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), 141, buffer, 9), 8);
    EXPECT_EQ(std::u16string(buffer), u"quorvane");
}

TEST_F(StandinTest, LoadStringOfMissingOrEmptyEntryFailsWithLastError) {
    WCHAR buffer[16] = u"unchanged";
    for (UINT id : {142u, 143u}) {
        SetLastError(0);
        EXPECT_EQ(LoadStringW(nullptr, id, buffer, 16), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    }
    EXPECT_EQ(standin::error_message(ERROR_RESOURCE_NAME_NOT_FOUND),
              "code: [1814], message: [The specified resource name cannot be found in the image file.]");
    EXPECT_EQ(standin::error_message(0), "");
}

TEST_F(StandinTest, RefusedCreationDestroysTheHalfMadeWindow) {
    refuse_creation = true;
    EXPECT_EQ(create_window(u"refused class"), nullptr);
    refuse_creation = false;
    EXPECT_EQ(received, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(StandinTest, DestroyWindowSendsDestroyOnceAndForgetsTheWindow) {
    const HWND window = create_window(u"destroyed class");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(received, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(StandinTest, ClassNameRegisteredTwiceIsRefused) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = recording_procedure;
    window_class.lpszClassName = u"twice";
    EXPECT_NE(RegisterClassExW(&window_class), 0);
    EXPECT_EQ(RegisterClassExW(&window_class), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    window_class.cbSize = 0;
    window_class.lpszClassName = u"no size";
    EXPECT_EQ(RegisterClassExW(&window_class), 0);
}

TEST_F(StandinTest, QuitComesAfterThePostedMessagesAndAnIdleQueueFails) {
    const HWND window = create_window(u"queue class");
    PostMessageW(window, WM_APP + 1, 0, 11);
    PostQuitMessage(3);
    PostMessageW(window, WM_APP + 2, 0, 22);
    MSG message{};
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_APP + 1));
    DispatchMessageW(&message);
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_APP + 2));
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_EQ(received.back(), static_cast<UINT>(WM_APP + 1));
    // Nothing can arrive any more (no user actions, no icon): the wait fails instead of hanging.
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), -1);
    DestroyWindow(window);
}

TEST_F(StandinTest, NotificationAreaChecksWhatItIsGiven) {
    const HWND window = create_window(u"icon class");
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_TIP;
    ASSERT_EQ(LoadIconMetric(nullptr, MAKEINTRESOURCEW(test_icon), LIM_SMALL, &data.hIcon), S_OK);
    EXPECT_EQ(LoadIconMetric(nullptr, MAKEINTRESOURCEW(122), LIM_SMALL, &data.hBalloonIcon),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(sizeof(NOTIFYICONDATAW), 976u);

    std::fill(std::begin(data.szTip), std::end(data.szTip), u'x');
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));  // the tooltip has no terminator
    data.szTip[127] = 0;
    data.cbSize = sizeof(data) - 8;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));
    data.cbSize = sizeof(data);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));  // already there

    // The balloon's own picture must be a live icon: a bitmap or a destroyed icon is refused.
    const std::string bitmap_path = temporary_file("balloon.bmp", small_bitmap());
    const std::u16string wide_path(bitmap_path.begin(), bitmap_path.end());
    const auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, wide_path.c_str(), IMAGE_BITMAP, 128, 128, LR_LOADFROMFILE));
    ICONINFO parts{TRUE, 0, 0, CreateBitmap(128, 128, 1, 1, nullptr), bitmap};
    const HICON picture = CreateIconIndirect(&parts);
    ASSERT_NE(picture, nullptr);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_USER;
    for (const auto& [handle, accepted] : {std::pair<void*, BOOL>{bitmap, FALSE}, {picture, TRUE}}) {
        data.hBalloonIcon = static_cast<HICON>(handle);
        EXPECT_EQ(Shell_NotifyIconW(NIM_MODIFY, &data), accepted);
    }
    EXPECT_TRUE(DestroyIcon(picture));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_TRUE(DeleteObject(parts.hbmMask));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));

    data.uVersion = 5;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_SETVERSION, &data));
    data.uVersion = NOTIFYICON_VERSION_4;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_SETVERSION, &data));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &data));
    DestroyWindow(window);
}

TEST_F(StandinTest, LoadImageReadsOnlyWholeBitmapFiles) {
    const std::string missing = ::testing::TempDir() + "/no such picture.bmp";
    const std::string garbage = temporary_file("garbage.bmp", "GIF89a and more");
    const std::string whole = temporary_file("whole.bmp", small_bitmap());
    const std::string cut = temporary_file("cut.bmp", small_bitmap().substr(0, 60));
    const auto load = [](const std::string& path) {
        SetLastError(0);
        const std::u16string wide_path(path.begin(), path.end());
        return LoadImageW(nullptr, wide_path.c_str(), IMAGE_BITMAP, 128, 128, LR_LOADFROMFILE);
    };
    EXPECT_EQ(load(missing), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(load(garbage), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(load(cut), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_NE(load(whole), nullptr);
}

TEST_F(StandinTest, NamedMutexExistsWhileItsFirstHandleIsOpen) {
    const char16_t* name = u"standin-test-mutex";
    const HANDLE first = CreateMutexW(nullptr, FALSE, name);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    const HANDLE second = CreateMutexW(nullptr, FALSE, name);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));

    const HANDLE third = CreateMutexW(nullptr, FALSE, name);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(third);
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"no/slashes"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}
