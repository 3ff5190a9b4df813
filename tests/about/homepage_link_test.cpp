// The homepage link: the recorder is registered as the prefix's handler of web addresses, the
// link is clicked in the real box, and the recorder reports what the shell started it with.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "about/about_dialog.h"
#include "about/about_test_support.h"
#include "common/test_support.h"
#include "res/resource.h"

using abouttest::ModelessAboutBox;
using abouttest::RecorderFile;
using abouttest::RecorderPath;
using abouttest::RecorderRun;

namespace {

// The prefix's handlers of http and https (HKEY_CLASSES_ROOT, which Wine keeps in the machine's
// Software\Classes only) point at the recorder while the object lives; put back afterwards.
class BrowserSetup {
  public:
    BrowserSetup() {
        for (const wchar_t *scheme : {L"http", L"https"}) {
            const std::wstring key = std::wstring(L"Software\\Classes\\") + scheme;
            HKEY existing = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &existing) ==
                ERROR_SUCCESS)
                RegCloseKey(existing);
            else
                created_.push_back(key);
            saved_.emplace_back(new abouttest::SavedRegistryValue(
                HKEY_LOCAL_MACHINE, key + L"\\shell\\open\\command", nullptr));
            abouttest::WriteRegistryText(HKEY_LOCAL_MACHINE, key + L"\\shell\\open\\command",
                                         nullptr, L"\"" + RecorderPath() + L"\" \"%1\"");
        }
    }
    ~BrowserSetup() {
        saved_.clear();
        for (const std::wstring &key : created_)
            abouttest::DeleteRegistryTree(HKEY_LOCAL_MACHINE, key);
    }
    BrowserSetup(const BrowserSetup &) = delete;
    BrowserSetup &operator=(const BrowserSetup &) = delete;

  private:
    std::vector<std::unique_ptr<abouttest::SavedRegistryValue>> saved_;
    std::vector<std::wstring> created_;
};

class HomepageLink : public testing::Test {
  protected:
    testsupport::TempDir folder;
    RecorderFile recorder{folder / L"record.txt"};
    BrowserSetup browser;
    abouttest::MailClientSetup mail;
    ModelessAboutBox box;
};

} // namespace

TEST_F(HomepageLink, ClickAsksTheShellToOpenTheAddressMaximised) {
    ASSERT_NE(nullptr, box.Get());
    // A mail client that would also leave a record, to see that only the browser starts.
    mail.Register(L"Vandrel Test Mail", L"\"" + RecorderPath() + L"\" /mail %1");
    box.ClickCentreOf(IDC_ABOUT_HOME);
    RecorderRun run;
    ASSERT_TRUE(recorder.WaitForRun(&run));
    EXPECT_EQ(L"\"" + RecorderPath() + L"\" \"" + abouttest::Homepage() + L"\"", run.commandLine);
    EXPECT_TRUE(run.flags & STARTF_USESHOWWINDOW);
    EXPECT_EQ(static_cast<unsigned>(SW_SHOWMAXIMIZED), run.show);
    testsupport::PumpUntil([] { return false; }, 500);
    EXPECT_EQ(1u, recorder.Runs().size());
}

TEST_F(HomepageLink, ClickBesideTheLinkOpensNothing) {
    ASSERT_NE(nullptr, box.Get());
    const RECT link = box.ClientRectOf(IDC_ABOUT_HOME);
    box.Click(link.left, (link.top + link.bottom) / 2);
    box.Click((link.left + link.right) / 2, link.top);
    box.ClickCentreOf(IDC_ABOUT_HOME_LABEL);
    testsupport::PumpUntil([] { return false; }, 3000);
    EXPECT_FALSE(recorder.Exists());
}

TEST_F(HomepageLink, ARealClickThroughTheStaticReachesTheBox) {
    ASSERT_NE(nullptr, box.Get());
    SetForegroundWindow(box.Get());
    RECT link = {};
    GetWindowRect(box.Item(IDC_ABOUT_HOME), &link);
    SetCursorPos((link.left + link.right) / 2, (link.top + link.bottom) / 2);
    testsupport::PumpUntil([] { return false; }, 100);
    INPUT press[2] = {};
    press[0].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].type = INPUT_MOUSE;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(2u, SendInput(2, press, sizeof(INPUT)));
    RecorderRun run;
    ASSERT_TRUE(recorder.WaitForRun(&run));
    EXPECT_EQ(L"\"" + RecorderPath() + L"\" \"" + abouttest::Homepage() + L"\"", run.commandLine);
}
