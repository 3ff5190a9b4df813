// The e-mail link against the real registry of the prefix: the default mail client's mailto
// command is pointed at the recorder program, the link is clicked in the real box, and the
// recorder reports the command line it was started with.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "about/about_dialog.h"
#include "about/about_test_support.h"
#include "about/mail_command.h"
#include "app/text.h"
#include "common/test_support.h"
#include "res/resource.h"

using abouttest::MailClientSetup;
using abouttest::ModelessAboutBox;
using abouttest::RecorderFile;
using abouttest::RecorderFolder;
using abouttest::RecorderPath;
using abouttest::RecorderRun;

namespace {

constexpr wchar_t Client[] = L"Vandrel Test Mail";
// The mail target with the Polish product name as its subject.
std::wstring PolishTarget() {
    return abouttest::SupportAddress() + L"?subject=Vandrel";
}
// Long enough for the recorder to have started, had anything started it.
constexpr DWORD NothingStartedWaitMs = 3000;

std::wstring Quoted(const std::wstring &text) {
    return L"\"" + text + L"\"";
}

// Sets an environment variable of this process (inherited by what it starts) for one test.
class ScopedVariable {
  public:
    ScopedVariable(const wchar_t *name, const std::wstring &value) : name_(name) {
        wchar_t old[1024];
        const DWORD length = GetEnvironmentVariableW(name, old, 1024);
        hadOld_ = length > 0 && length < 1024;
        if (hadOld_)
            old_ = old;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_.c_str(), hadOld_ ? old_.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

  private:
    std::wstring name_;
    std::wstring old_;
    bool hadOld_ = false;
};

class MailLink : public testing::Test {
  protected:
    // Clicks the middle of the e-mail link and returns the recorded command line.
    std::wstring ClickAndRecord() {
        box.ClickCentreOf(IDC_ABOUT_MAIL);
        RecorderRun run;
        if (!recorder.WaitForRun(&run))
            return L"<nothing was started>";
        return run.commandLine;
    }
    std::wstring ComposeAndRecord(const wchar_t *address, const wchar_t *subject) {
        ComposeSupportMail(address, subject);
        RecorderRun run;
        if (!recorder.WaitForRun(&run))
            return L"<nothing was started>";
        return run.commandLine;
    }
    bool NothingStarted() {
        testsupport::PumpUntil([] { return false; }, NothingStartedWaitMs);
        return !recorder.Exists();
    }

    testsupport::TempDir folder;
    RecorderFile recorder{folder / L"record.txt"};
    MailClientSetup mail;
    ModelessAboutBox box;
};

} // namespace

TEST_F(MailLink, ClickStartsTheDefaultClientWithAddressAndSubject) {
    ASSERT_NE(nullptr, box.Get());
    mail.Register(Client, Quoted(RecorderPath()) + L" /mailurl:%1");
    EXPECT_EQ(Quoted(RecorderPath()) + L" /mailurl:" + PolishTarget(), ClickAndRecord());
    // One click, one client.
    testsupport::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(1u, recorder.Runs().size());
}

TEST_F(MailLink, ExpandsAProgramFilesReferenceAtTheStartOfTheTemplate) {
    ASSERT_NE(nullptr, box.Get());
    testsupport::MakeFolder(folder / L"Mail");
    ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), (folder / L"Mail\\mail.exe").c_str(), FALSE));
    ScopedVariable programFiles(L"ProgramFiles", folder.Path());
    mail.Register(Client, L"\"%ProgramFiles%\\Mail\\mail.exe\" /mailurl:%1", REG_EXPAND_SZ);
    EXPECT_EQ(L"\"" + folder.Path() + L"\\Mail\\mail.exe\" /mailurl:" + PolishTarget(),
              ClickAndRecord());
}

TEST_F(MailLink, PutsTheTargetInsideTheQuotesOfAQuotedPlaceholder) {
    ASSERT_NE(nullptr, box.Get());
    mail.Register(Client, Quoted(RecorderPath()) + L" -compose \"%1\"");
    EXPECT_EQ(Quoted(RecorderPath()) + L" -compose \"" + PolishTarget() + L"\"", ClickAndRecord());
}

TEST_F(MailLink, LeavesAReferenceToAnUnknownVariableAsItReads) {
    ASSERT_NE(nullptr, box.Get());
    SetEnvironmentVariableW(L"VANDREL_NO_SUCH_VARIABLE", nullptr);
    mail.Register(Client, Quoted(RecorderPath()) + L" %VANDREL_NO_SUCH_VARIABLE% /m:%1");
    EXPECT_EQ(Quoted(RecorderPath()) + L" %VANDREL_NO_SUCH_VARIABLE% /m:" + PolishTarget(),
              ClickAndRecord());
}

TEST_F(MailLink, StartsATemplateWithoutPercentSignsAsItReads) {
    ASSERT_NE(nullptr, box.Get());
    mail.Register(Client, Quoted(RecorderPath()) + L" /compose");
    EXPECT_EQ(Quoted(RecorderPath()) + L" /compose", ClickAndRecord());
}

TEST_F(MailLink, ExpandsOnlyTheFirstOfTwoReferences) {
    ASSERT_NE(nullptr, box.Get());
    ScopedVariable tools(L"VANDREL_TOOLS", RecorderFolder());
    mail.Register(Client, L"\"%VANDREL_TOOLS%\\recorder.exe\" /dir:%VANDREL_TOOLS% /m:%1");
    EXPECT_EQ(Quoted(RecorderPath()) + L" /dir:%VANDREL_TOOLS% /m:" + PolishTarget(),
              ClickAndRecord());
}

TEST_F(MailLink, StartsTheClientWithoutTheTargetWhenThereIsNoPlaceholder) {
    ASSERT_NE(nullptr, box.Get());
    ScopedVariable tools(L"VANDREL_TOOLS", RecorderFolder());
    mail.Register(Client, L"\"%VANDREL_TOOLS%\\recorder.exe\" /new");
    EXPECT_EQ(Quoted(RecorderPath()) + L" /new", ClickAndRecord());
}

TEST_F(MailLink, ReplacesOnlyTheFirstPlaceholderAndKeepsOtherPercentSigns) {
    ASSERT_NE(nullptr, box.Get());
    mail.Register(Client, Quoted(RecorderPath()) + L" 100% %1 %1 %2");
    EXPECT_EQ(Quoted(RecorderPath()) + L" 100% " + PolishTarget() + L" %1 %2", ClickAndRecord());
}

TEST_F(MailLink, InsertsANonAsciiSubjectUnescaped) {
    mail.Register(Client, Quoted(RecorderPath()) + L" /mailurl:%1");
    const wchar_t subject[] = L"Vandrel v2.0\uff08\u7b80\u4f53 \u4e2d\u6587\uff09";
    EXPECT_EQ(Quoted(RecorderPath()) + L" /mailurl:autor@vandrel.example?subject=" + subject,
              ComposeAndRecord(L"autor@vandrel.example", subject));
}

TEST_F(MailLink, StartsNothingWithoutAClientOrItsCommand) {
    ASSERT_NE(nullptr, box.Get());
    // The machine's own client in a fresh prefix has no mailto command.
    box.ClickCentreOf(IDC_ABOUT_MAIL);
    // No default client named.
    mail.SetCommand(Client, Quoted(RecorderPath()) + L" %1");
    mail.RemoveDefaultClient();
    box.ClickCentreOf(IDC_ABOUT_MAIL);
    // A default client without a command key, and one whose command key has no value.
    mail.SetDefaultClient(L"Vandrel Client Without Command");
    mail.SetValueBelow(L"Vandrel Client Without Command", L"Protocols\\mailto", L"x");
    box.ClickCentreOf(IDC_ABOUT_MAIL);
    mail.SetDefaultClient(L"Vandrel Client With Empty Key");
    mail.SetValueBelow(L"Vandrel Client With Empty Key",
                       L"Protocols\\mailto\\shell\\open\\command\\below", L"x");
    box.ClickCentreOf(IDC_ABOUT_MAIL);
    // The current user's keys are never consulted.
    {
        abouttest::SavedRegistryValue userClients(HKEY_CURRENT_USER, L"Software\\Clients", nullptr);
        abouttest::WriteRegistryText(HKEY_CURRENT_USER, L"Software\\Clients\\Mail", nullptr,
                                     Client);
        box.ClickCentreOf(IDC_ABOUT_MAIL);
        abouttest::DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\Clients\\Mail");
    }
    // No Clients\Mail key at all.
    mail.RemoveClientsKey();
    box.ClickCentreOf(IDC_ABOUT_MAIL);
    EXPECT_TRUE(NothingStarted());
}

TEST_F(MailLink, StartsNothingForAClickBesideTheLink) {
    ASSERT_NE(nullptr, box.Get());
    mail.Register(Client, Quoted(RecorderPath()) + L" %1");
    const RECT link = box.ClientRectOf(IDC_ABOUT_MAIL);
    box.Click(link.left, (link.top + link.bottom) / 2); // its first column
    box.Click((link.left + link.right) / 2, link.top);  // its first row
    const RECT label = box.ClientRectOf(IDC_ABOUT_MAIL_LABEL);
    box.Click((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    box.ClickCentreOf(IDC_ABOUT_PRODUCT);
    EXPECT_TRUE(NothingStarted());
    // One pixel in, it starts.
    box.Click(link.left + 1, link.top + 1);
    RecorderRun run;
    EXPECT_TRUE(recorder.WaitForRun(&run));
}

// ---- values that do not fit their buffers: nothing is started, nothing is cut ----

namespace {
// The registry path of the command key is 58 characters plus the client name; 255 fit.
constexpr size_t LongestClientName = 255 - 58;
} // namespace

TEST_F(MailLink, StartsAClientWhoseCommandKeyPathJustFits) {
    ASSERT_NE(nullptr, box.Get());
    const std::wstring client(LongestClientName, L'c');
    mail.Register(client, Quoted(RecorderPath()) + L" %1");
    EXPECT_EQ(Quoted(RecorderPath()) + L" " + PolishTarget(), ClickAndRecord());
}

TEST_F(MailLink, StartsNothingWhenAValueDoesNotFit) {
    ASSERT_NE(nullptr, box.Get());
    // A client name one longer: its key path would be cut to "...\open\comman"; that key exists
    // too, so a cut path would start the recorder.
    const std::wstring longClient(LongestClientName + 1, L'c');
    mail.Register(longClient, Quoted(RecorderPath()) + L" %1");
    mail.SetValueBelow(longClient, L"Protocols\\mailto\\shell\\open\\comman",
                       Quoted(RecorderPath()) + L" %1");
    box.ClickCentreOf(IDC_ABOUT_MAIL);

    // A client name of 256 characters.
    mail.SetDefaultClient(std::wstring(256, L'n'));
    box.ClickCentreOf(IDC_ABOUT_MAIL);

    // A command template of 320 characters whose first 319 would make a working command.
    std::wstring longTemplate = Quoted(RecorderPath()) + L" %1 ";
    longTemplate.append(320 - longTemplate.size(), L'x');
    mail.Register(Client, longTemplate);
    box.ClickCentreOf(IDC_ABOUT_MAIL);

    // A variable value of 260 characters.
    std::wstring longFolder = RecorderFolder();
    while (longFolder.size() < 260)
        longFolder += L"\\.";
    longFolder.resize(260, L'.');
    {
        ScopedVariable tools(L"VANDREL_TOOLS", longFolder);
        mail.Register(Client, L"\"%VANDREL_TOOLS%\\recorder.exe\" %1");
        box.ClickCentreOf(IDC_ABOUT_MAIL);
    }

    // A command line of 256 characters.
    const std::wstring head = Quoted(RecorderPath()) + L" /pad:";
    const size_t target = PolishTarget().size();
    mail.Register(Client, head + std::wstring(256 - head.size() - target - 1, L'p') + L" %1");
    box.ClickCentreOf(IDC_ABOUT_MAIL);

    // A mail target of 64 characters: address + "?subject=" + "Vandrel".
    mail.Register(Client, Quoted(RecorderPath()) + L" %1");
    const std::wstring longAddress = std::wstring(64 - 16 - 8, L'a') + L"@b.pl.ex";
    ASSERT_EQ(48u, longAddress.size());
    ComposeSupportMail(longAddress.c_str(), L"Vandrel");

    EXPECT_TRUE(NothingStarted());
}

TEST_F(MailLink, StartsACommandLineOf255Characters) {
    ASSERT_NE(nullptr, box.Get());
    const std::wstring head = Quoted(RecorderPath()) + L" /pad:";
    const size_t target = PolishTarget().size();
    const std::wstring padding(255 - head.size() - target - 1, L'p');
    mail.Register(Client, head + padding + L" %1");
    const std::wstring expected = head + padding + L" " + PolishTarget();
    ASSERT_EQ(255u, expected.size());
    EXPECT_EQ(expected, ClickAndRecord());
}

TEST_F(MailLink, StartsAMailTargetOf63Characters) {
    mail.Register(Client, Quoted(RecorderPath()) + L" %1");
    const std::wstring address = std::wstring(63 - 16 - 8, L'a') + L"@b.pl.ex";
    EXPECT_EQ(Quoted(RecorderPath()) + L" " + address + L"?subject=Vandrel",
              ComposeAndRecord(address.c_str(), L"Vandrel"));
}

// ---- the command line itself, built from the registry without starting anything ----

TEST_F(MailLink, ReplacesEverythingBeforeTheFirstReferenceByOneQuote) {
    ScopedVariable tools(L"VANDREL_TOOLS", L"T:\\tools");
    mail.Register(Client, L"start /wait \"%VANDREL_TOOLS%\\mail.exe\" %1");
    wchar_t commandLine[MailCommandCapacity];
    ASSERT_TRUE(BuildSupportMailCommand(L"a@b.ex", L"S", commandLine));
    EXPECT_STREQ(L"\"T:\\tools\\mail.exe\" a@b.ex?subject=S", commandLine);
}

TEST_F(MailLink, AbandonsTheMailWhenAVariableNameDoesNotFit) {
    // Variable names are looked up whole: a name cut to 31 characters would be another variable.
    const std::wstring name(32, L'V');
    ScopedVariable cut(std::wstring(31, L'V').c_str(), L"T:\\wrong");
    mail.Register(Client, L"\"R:\\mail.exe\" %" + name + L"% %1");
    wchar_t commandLine[MailCommandCapacity];
    EXPECT_FALSE(BuildSupportMailCommand(L"a@b.ex", L"S", commandLine));
    EXPECT_STREQ(L"", commandLine);
}

TEST_F(MailLink, ReadsACommandStoredWithoutTerminator) {
    const std::wstring command = L"\"R:\\mail.exe\" %1";
    mail.Register(Client, command);
    const std::wstring key = std::wstring(L"Software\\Clients\\Mail\\") + Client +
                             L"\\Protocols\\mailto\\shell\\open\\command";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, command.c_str(),
                              static_cast<DWORD>(command.size() * sizeof(wchar_t))));
    wchar_t commandLine[MailCommandCapacity];
    ASSERT_TRUE(BuildSupportMailCommand(L"a@b.ex", L"S", commandLine));
    EXPECT_STREQ(L"\"R:\\mail.exe\" a@b.ex?subject=S", commandLine);
}

TEST_F(MailLink, AnswersAValueThatDoesNotFitWithAnEmptyCommandLine) {
    mail.Register(Client, L"\"R:\\mail.exe\" " + std::wstring(240, L'p') + L" %1");
    wchar_t commandLine[MailCommandCapacity];
    wmemset(commandLine, L'#', MailCommandCapacity);
    EXPECT_FALSE(BuildSupportMailCommand(L"a@b.ex", L"S", commandLine));
    EXPECT_STREQ(L"", commandLine);
}

// ---- the Chinese user interface: its product line is the subject ----

class MailLinkChinese : public MailLink {};

TEST_F(MailLinkChinese, ClickSendsTheChineseProductLineAsSubject) {
    ASSERT_TRUE(testsupport::IsChineseUi());
    ASSERT_NE(nullptr, box.Get());
    const std::wstring subject = LoadText(IDS_PRODUCT);
    ASSERT_NE(subject.end(),
              std::find_if(subject.begin(), subject.end(), [](wchar_t c) { return c > 0x7f; }))
        << "the Chinese product line has non-ASCII letters";
    mail.Register(Client, Quoted(RecorderPath()) + L" /mailurl:%1");
    EXPECT_EQ(Quoted(RecorderPath()) + L" /mailurl:" + abouttest::SupportAddress() + L"?subject=" +
                  subject,
              ClickAndRecord());
}

// ---- the English user interface: the English product line is the subject ----

class MailLinkEnglish : public MailLink {};

TEST_F(MailLinkEnglish, ClickSendsTheEnglishProductLineAsSubject) {
    ASSERT_TRUE(testsupport::IsEnglishUi());
    ASSERT_NE(nullptr, box.Get());
    ASSERT_EQ(L"Vandrel", testsupport::WindowText(box.Item(IDC_ABOUT_PRODUCT)));
    mail.Register(Client, Quoted(RecorderPath()) + L" /mailurl:%1");
    EXPECT_EQ(Quoted(RecorderPath()) + L" /mailurl:" + abouttest::SupportAddress() +
                  L"?subject=Vandrel",
              ClickAndRecord());
}
