// The Win32 wizard's pieces for real (under wine64 here, on a virtual
// display): the remembered settings in the registry, the dialog templates
// as the controllers address them, and the property sheet walked from page
// to page by its own buttons with the controllers behind it.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "format/ArchiveIndex.h"
#include "gui/win32/BookSheet.h"
#include "gui/win32/ResourceIds.h"
#include "gui/win32/Win32Seams.h"
#include "platform/Wide.h"
#include "tests/support/FakePe.h"
#include "tests/wizard/WizardTestSupport.h"

namespace folivex {
namespace {

// A program name of the test's own, so its settings touch nothing else.
std::string UniqueProgramName() {
    std::random_device random;
    return "folivex-test-" + std::to_string(random());
}

class RegistryStore : public ::testing::Test {
protected:
    ~RegistryStore() override {
        RegDeleteTreeW(HKEY_CURRENT_USER,
                       Widen(std::string("Software\\Tessaroke\\") + program).c_str());
    }
    std::string program = UniqueProgramName();
    RegistrySettingsStore store{program};
};

TEST_F(RegistryStore, LivesUnderTheProgramsBaseName) {
    EXPECT_EQ(ProgramBaseName(), "windows_tests");
    EXPECT_EQ(RegistrySettingsStore(ProgramBaseName()).KeyPath(),
              "Software\\Tessaroke\\windows_tests\\Options");
}

TEST_F(RegistryStore, ValuesComeBackAsWrittenAndMissingOnesAsTheirDefault) {
    struct Value {
        const char* key;
        std::optional<std::string> written;
        std::string expected;  // read with the default "*default*"
    };
    const Value values[] = {
        {"LastAuthor", std::nullopt, "*default*"},  // before the key exists
        {"LastUrl", "", ""},                        // empty is not missing
        {"LastProject",
         "C:\\B\xC3\xBC"
         "cher\\\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0",
         "C:\\B\xC3\xBC"
         "cher\\\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0"},
        {"LastCopyright", std::string(5000, 'c'), std::string(5000, 'c')},
        {"LastEMail", std::nullopt, "*default*"},  // the key exists, the value not
    };
    for (const Value& v : values) {
        if (v.written) store.WriteString(v.key, *v.written);
        EXPECT_EQ(store.ReadString(v.key, "*default*"), v.expected) << v.key;
    }
    // Stored as string values, where the registry tools show them.
    wchar_t text[64] = {};
    DWORD size = sizeof(text), type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, Widen(store.KeyPath()).c_str(), L"LastUrl",
                           RRF_RT_ANY, &type, text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Another program's store does not see them.
    EXPECT_EQ(RegistrySettingsStore(UniqueProgramName()).ReadString("LastUrl", "x"), "x");
}

// A window of this test, hidden, to own the dialogs; none when wine has no
// display to draw on.
HWND MakeOwner() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::string WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return Narrow(text);
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Narrow(name);
}

struct Control {
    int id;
    const char* className;
    const char* text;
    DWORD style;  // what the style holds under mask
    DWORD mask;
};

struct Template {
    int id;
    const char* caption;
    int width, height;  // dialog units
    std::vector<Control> controls;
};

constexpr DWORD kButton = BS_TYPEMASK | WS_TABSTOP;
constexpr DWORD kPathStatic = SS_TYPEMASK | SS_SUNKEN | WS_VISIBLE;

std::vector<Template> Templates() {
    std::vector<Control> interfaceControls = {
        {IDC_SPLASH_FILE, "Static", "", SS_LEFTNOWORDWRAP | SS_SUNKEN | WS_VISIBLE, kPathStatic},
        {IDC_PICK_SPLASH, "Button", "...", BS_PUSHBUTTON | WS_TABSTOP, kButton},
        {IDC_ICON_FILE, "Static", "", SS_LEFTNOWORDWRAP | SS_SUNKEN | WS_VISIBLE, kPathStatic},
        {IDC_PICK_ICON, "Button", "...", BS_PUSHBUTTON | WS_TABSTOP, kButton},
        {IDC_SHOW_ABOUT, "Button", "&Show About Box when started", BS_AUTOCHECKBOX, BS_TYPEMASK},
        {IDC_START_MAXIMIZED, "Button", "Start &Maximized", BS_AUTOCHECKBOX, BS_TYPEMASK},
        {IDC_START_FULL_SCREEN, "Button", "Start Fu&ll Screen", BS_AUTOCHECKBOX, BS_TYPEMASK},
        {IDC_SHOW_TOOLBAR, "Button", "Show &Toolbar", BS_AUTOCHECKBOX, BS_TYPEMASK},
    };
    const char* const toolbar[kToolbarButtonCount] = {
        "&Home",      "Prev && &Next", "Histor&y (Back && Forward)",
        "&Copy",      "Sea&rch",       "F&ull Screen",
        "&Font Size", "&Print",        "&About",
        "&Exit"};
    for (size_t i = 0; i < kToolbarButtonIds.size(); ++i)
        interfaceControls.push_back({kToolbarButtonIds[i], "Button", toolbar[i],
                                     BS_AUTOCHECKBOX | WS_TABSTOP, BS_TYPEMASK | WS_TABSTOP});
    // The dialog manager draws borders as sunken edges (WS_EX_CLIENTEDGE),
    // so WS_BORDER is not looked at.
    const DWORD edit = ES_AUTOHSCROLL | WS_TABSTOP;
    return {
        {IDD_CONTENT_PAGE,
         "Content",
         300,
         150,
         {{IDC_NEW_PROJECT, "Button", "New &Project...", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_OPEN_PROJECT, "Button", "&Open Project...", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_RESCAN_DIR, "Button", "&Re-Scan Dir...", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_FILE_PROPERTIES, "Button", "&File Properties...", BS_PUSHBUTTON | WS_TABSTOP,
           kButton},
          {IDC_MOVE_UP, "Button", "Move &Up", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_MOVE_DOWN, "Button", "Move &Down", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_FILE_LIST, "SysListView32", "",
           WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
           WS_TABSTOP | LVS_TYPEMASK | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_SORTASCENDING |
               LVS_SORTDESCENDING}}},
        {IDD_INTERFACE_PAGE, "Interface", 300, 150, interfaceControls},
        {IDD_CREATE_PAGE,
         "Create",
         300,
         150,
         {{IDC_TITLE, "Edit", "", edit, edit},
          {IDC_AUTHOR, "Edit", "", edit, edit},
          {IDC_COPYRIGHT, "Edit", "", edit, edit},
          {IDC_URL, "Edit", "", edit, edit},
          {IDC_EMAIL, "Edit", "", edit, edit},
          {IDC_ABOUT_INFO, "Edit", "", ES_MULTILINE | ES_CENTER | ES_WANTRETURN | ES_AUTOHSCROLL,
           ES_MULTILINE | ES_CENTER | ES_RIGHT | ES_WANTRETURN | ES_AUTOHSCROLL},
          {IDC_EBOOK_FILE, "Static", "", SS_LEFTNOWORDWRAP | SS_SUNKEN | WS_VISIBLE, kPathStatic},
          {IDC_PICK_EBOOK, "Button", "...", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_CREATE_EBOOK, "Button", "&Create E-Book", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_RUN_EBOOK, "Button", "&Run E-Book", BS_PUSHBUTTON | WS_TABSTOP, kButton},
          {IDC_SAVE_PROJECT_AS, "Button", "Save &Project As...", BS_PUSHBUTTON | WS_TABSTOP,
           kButton}}},
        {IDD_FILE_PROPERTIES,
         "File Properties",
         130,
         76,
         {{IDC_MAKE_HOME_PAGE, "Button", "Make &Home Page", BS_AUTOCHECKBOX | WS_VISIBLE,
           BS_TYPEMASK | WS_VISIBLE},
          {IDC_INCLUDED, "Button", "Included in &Project", BS_AUTOCHECKBOX | WS_VISIBLE,
           BS_TYPEMASK | WS_VISIBLE},
          {IDC_IN_SEARCH, "Button", "Included in S&earch", BS_AUTOCHECKBOX | WS_VISIBLE,
           BS_TYPEMASK | WS_VISIBLE},
          {IDC_IN_PAGE_SEQUENCE, "Button", "Included in &Page Sequence", BS_AUTOCHECKBOX,
           BS_TYPEMASK | WS_VISIBLE},
          {IDOK, "Button", "OK", BS_DEFPUSHBUTTON, BS_TYPEMASK},
          {IDCANCEL, "Button", "Cancel", BS_PUSHBUTTON, BS_TYPEMASK}}},
        {IDD_ABOUTBOX,
         "About Folivex",
         197,
         68,
         {{IDC_ABOUT_ICON, "Static", "", SS_ICON, SS_TYPEMASK},
          {IDC_ABOUT_VERSION, "Static", "Folivex      Version 1.0", 0, 0},
          {IDOK, "Button", "OK", BS_DEFPUSHBUTTON, BS_TYPEMASK}}},
    };
}

TEST(WizardTemplates, HoldTheControlsTheControllersAddress) {
    HWND owner = MakeOwner();
    if (owner == nullptr) GTEST_SKIP() << "no display for windows";
    for (const Template& t : Templates()) {
        HWND dialog =
            CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(t.id), owner, Quiet, 0);
        ASSERT_NE(dialog, nullptr) << "template " << t.id;
        EXPECT_EQ(WindowText(dialog), t.caption);
        RECT units{0, 0, t.width, t.height}, client{};
        MapDialogRect(dialog, &units);
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, units.right) << t.caption;
        EXPECT_EQ(client.bottom, units.bottom) << t.caption;
        for (const Control& c : t.controls) {
            HWND item = GetDlgItem(dialog, c.id);
            ASSERT_NE(item, nullptr) << t.caption << " has no control " << c.id;
            EXPECT_EQ(ClassOf(item), c.className) << c.id;
            if (c.id != IDC_ABOUT_ICON) {
                EXPECT_EQ(WindowText(item), c.text) << c.id;
            }
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(item, GWL_STYLE)) & c.mask, c.style)
                << t.caption << " control " << c.id;
        }
        DestroyWindow(dialog);
    }
    HWND list = nullptr;
    HWND content = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONTENT_PAGE),
                                      owner, Quiet, 0);
    list = GetDlgItem(content, IDC_FILE_LIST);
    EXPECT_NE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    DestroyWindow(content);
    DestroyWindow(owner);
}

// The wizard as the author meets it, opened without waiting so the test can
// press its buttons; every prompt answered by the script.
class Win32Wizard : public ::testing::Test {
protected:
    void SetUp() override {
        HWND probe = MakeOwner();
        if (probe == nullptr) GTEST_SKIP() << "no display for windows";
        DestroyWindow(probe);
        app.blobCacheFolder = std::string();
        window = sheet.OpenModeless();
        ASSERT_NE(window, nullptr);
        Pump();
    }
    void TearDown() override {
        if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    }

    // Runs what is waiting, as the program's message loop would.
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (SendMessageW(window, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)) == 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    void Press(int button) {
        SendMessageW(window, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
        Pump();
    }
    HWND PageWindow(int index) { return sheet.Page(index).Dialog().Window(); }
    void Click(int page, int id) {
        SendMessageW(GetDlgItem(PageWindow(page), id), BM_CLICK, 0, 0);
        Pump();
    }
    bool Enabled(HWND parent, int id) { return IsWindowEnabled(GetDlgItem(parent, id)) != FALSE; }
    HWND List() { return GetDlgItem(PageWindow(SheetController::kContentPage), IDC_FILE_LIST); }
    std::string Cell(int row, int column) {
        wchar_t text[260] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 260;
        SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        return Narrow(text);
    }

    test::TempDir dir;
    ScriptedPrompts prompts;
    test::FakeSettingsStore store;
    test::FakeLauncher launcher;
    CWizardApp app{prompts, store, launcher};
    SheetController controller{app};
    BookSheet sheet{controller};
    HWND window = nullptr;
};

TEST_F(Win32Wizard, WalksThePagesWithTheControllersDeciding) {
    EXPECT_EQ(WindowText(window), "Content");
    EXPECT_FALSE(Enabled(window, ID_WIZBACK));
    EXPECT_TRUE(Enabled(window, ID_WIZNEXT));
    for (int id : {IDC_RESCAN_DIR, IDC_FILE_PROPERTIES, IDC_MOVE_UP, IDC_MOVE_DOWN})
        EXPECT_FALSE(Enabled(PageWindow(0), id)) << id;

    // Next with no pages: the message, and the wizard stays.
    Press(PSBTN_NEXT);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "No pages in the E-Book.\nClick \"New Project...\" button to select a folder "
              "with HTML files");
    EXPECT_EQ(WindowText(window), "Content");

    for (const char* name : {"a.htm", "b.html", "c.png"}) test::WriteText(dir / name, name);
    prompts.AnswerFolder(dir.Path().string());
    Click(0, IDC_NEW_PROJECT);
    ASSERT_EQ(ListView_GetItemCount(List()), 3);
    EXPECT_EQ(Cell(2, 0) + "|" + Cell(2, 1) + "|" + Cell(2, 2), "c.png|*| ");
    EXPECT_TRUE(Enabled(PageWindow(0), IDC_RESCAN_DIR));

    // The author selects the last row: the list tells the controller.
    ListView_SetItemState(List(), 2, LVIS_SELECTED, LVIS_SELECTED);
    Pump();
    EXPECT_TRUE(Enabled(PageWindow(0), IDC_MOVE_UP));
    EXPECT_TRUE(Enabled(PageWindow(0), IDC_FILE_PROPERTIES));
    Click(0, IDC_MOVE_UP);
    EXPECT_EQ(app.project.pages[1]->path, "c.png");
    EXPECT_EQ(Cell(1, 0), "c.png");
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_SELECTED), 1);

    Press(PSBTN_NEXT);
    EXPECT_EQ(WindowText(window), "Interface");
    EXPECT_TRUE(Enabled(window, ID_WIZBACK));
    HWND interfacePage = PageWindow(1);
    ASSERT_NE(interfacePage, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(interfacePage, IDC_START_MAXIMIZED), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(interfacePage, IDC_SHOW_ABOUT), BST_UNCHECKED);
    Click(1, IDC_SHOW_TOOLBAR);  // off; reaches the project when the page is left

    Press(PSBTN_NEXT);
    EXPECT_EQ(WindowText(window), "Create");
    EXPECT_EQ(app.project.showToolbar, 0);
    EXPECT_FALSE(Enabled(window, ID_WIZNEXT));
    HWND create = PageWindow(2);
    EXPECT_EQ(WindowText(GetDlgItem(create, IDC_TITLE)), "E-Book");
    const std::string title = "Caf\xC3\xA9 \xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0";
    SetDlgItemTextW(create, IDC_TITLE, Widen(title).c_str());
    SetDlgItemTextW(create, IDC_ABOUT_INFO, L"one\r\ntwo");

    // Create E-Book: a file name first, then the book, then the message.
    const std::vector<uint8_t> stub = test::MakeFakePe().bytes;  // the app only points at it
    app.viewerStub = stub;
    const std::string book = dir / "walk.exe";
    prompts.AnswerFile(book);
    Click(2, IDC_CREATE_EBOOK);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, "E-Book " + book + " created successfully.");
    EXPECT_TRUE(EndsWithArchiveTrailer(book));
    EXPECT_EQ(WindowText(GetDlgItem(create, IDC_EBOOK_FILE)), book);
    Press(PSBTN_BACK);
    EXPECT_EQ(WindowText(window), "Interface");
    EXPECT_EQ(app.project.title, title);
    EXPECT_EQ(app.project.aboutInfo, "one\r\ntwo");

    // Escape comes to the sheet as its Cancel command; the wizard stays.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_ESCAPE] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    keys[VK_ESCAPE] = 0;
    SetKeyboardState(keys);
    Pump();
    EXPECT_FALSE(sheet.Ended());
    EXPECT_EQ(prompts.fileRequests.size(), 1u) << "only the e-book's name was asked for";

    // Cancel: the never-saved project goes through Save As, then the
    // wizard closes.
    const std::string saved = dir / "walk.ebp";
    prompts.AnswerFile(saved);
    Press(PSBTN_CANCEL);
    EXPECT_TRUE(sheet.Ended());
    EXPECT_EQ(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0), 0);
    CBookApp reader(prompts);
    reader.projectFile = saved;
    ASSERT_NE(reader.OpenProject(), 0);
    EXPECT_EQ(reader.project.title, title);
    EXPECT_EQ(reader.project.pages.size(), 3u);
}

TEST_F(Win32Wizard, AddsTheAboutItemToTheSystemMenu) {
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    wchar_t text[64] = {};
    GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(Narrow(text), "&About...");
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
}

TEST_F(Win32Wizard, HelpStartsHelpExeBesideTheProgram) {
    app.helpFolders = {"C:\\folivex"};
    launcher.files.insert("C:\\folivex\\help.exe");
    PSHNOTIFY help{};
    help.hdr.hwndFrom = window;
    help.hdr.code = PSN_HELP;
    SendMessageW(PageWindow(0), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&help));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"C:\\folivex\\help.exe"});
}

}  // namespace
}  // namespace folivex
