// Shared by the wizard's controller tests: views and seams that record what
// the controllers tell them, and one test's world (a folder, scripted
// prompts, the application object and the sheet with every page attached).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ScriptedPrompts.h"
#include "tests/support/TempDir.h"
#include "wizard/ControlIds.h"
#include "wizard/FilePropertiesController.h"
#include "wizard/SheetController.h"
#include "wizard/WizardApp.h"

namespace folivex {

// Messages and pickers compare by every field, and print their text.
inline bool operator==(const ScriptedPrompts::Message& a, const ScriptedPrompts::Message& b) {
    return a.text == b.text && a.buttons == b.buttons && a.icon == b.icon;
}
inline void PrintTo(const ScriptedPrompts::Message& m, std::ostream* os) {
    *os << '"' << m.text << '"';
}
inline bool operator==(const FileDialogRequest& a, const FileDialogRequest& b) {
    return a.save == b.save && a.initialName == b.initialName && a.defaultExt == b.defaultExt &&
           a.filter == b.filter && a.flags == b.flags;
}
inline void PrintTo(const FileDialogRequest& r, std::ostream* os) {
    *os << (r.save ? "save " : "open ") << r.initialName << " ." << r.defaultExt << " " << r.filter
        << " " << r.flags;
}

namespace test {

using Messages = std::vector<ScriptedPrompts::Message>;
using FileRequests = std::vector<FileDialogRequest>;

// Controls that keep what they are given. A control named in changeOnShow
// changes a text as it takes it, as an edit does with characters it cannot
// hold. Controls start enabled.
template <typename View>
class FakeControls : public View {
public:
    void SetText(int id, const std::string& text) override {
        const auto change = changeOnShow.find(id);
        texts[id] = change != changeOnShow.end() ? change->second(text) : text;
    }
    std::string GetText(int id) const override { return texts.contains(id) ? texts.at(id) : ""; }
    void SetCheck(int id, bool checked) override { checks[id] = checked; }
    bool GetCheck(int id) const override { return checks.contains(id) && checks.at(id); }
    void Enable(int id, bool on) override { enabled[id] = on; }
    bool Enabled(int id) const { return !enabled.contains(id) || enabled.at(id); }

    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, bool> enabled;
    std::map<int, std::function<std::string(const std::string&)>> changeOnShow;
};

// Keeps what a build showed: "started", the files done at each report,
// "ended".
class FakeCreateView : public FakeControls<CreateView> {
public:
    void BuildStarted() override { buildEvents.push_back("started"); }
    void ShowBuildProgress(const BuildProgress& p) override {
        buildEvents.push_back(std::to_string(p.filesDone) + "/" + std::to_string(p.filesTotal));
    }
    void BuildEnded() override { buildEvents.push_back("ended"); }

    std::vector<std::string> buildEvents;
};

class FakeContentView : public FakeControls<ContentView> {
public:
    void CreateColumns(const std::vector<ListColumn>& c) override {
        columns = c;
        ++columnCreations;
    }
    void FillList(const std::vector<ListRow>& r) override {
        rows = r;
        selected.assign(r.size(), 0);
    }
    void SetRows(const std::vector<std::pair<size_t, ListRow>>& r) override {
        ++rowUpdates;
        for (const auto& [index, row] : r) rows.at(index) = row;
    }
    std::vector<char> SelectedRows() const override { return selected; }
    void SetSelection(const std::vector<char>& s, std::optional<size_t> f) override {
        ++selectionUpdates;
        selected = s;
        selected.resize(rows.size(), 0);
        focus = f;
    }
    // Opens the dialog on boxes of its own, records them, then plays the
    // author's answer on them (none: Cancel).
    bool RunFilePropertiesDialog(FilePropertiesController& dialog) override {
        FakeControls<ControlView> boxes;
        dialog.OnInitDialog(boxes);
        dialogsOpened.push_back(boxes.checks);
        if (!dialogAnswer || !dialogAnswer(boxes)) return false;
        dialog.OnOK(boxes);
        return true;
    }

    // Row i's cells, e.g. "index.html|* ".
    std::string Row(size_t i) const {
        return rows.at(i).file + "|" + rows.at(i).included + rows.at(i).searchable;
    }
    // The first two letters of every row's file, as Order() gives them.
    std::string Files() const {
        std::string files;
        for (const ListRow& row : rows) files += row.file.substr(0, 2) + " ";
        return files;
    }

    std::vector<ListColumn> columns;
    int columnCreations = 0;
    std::vector<ListRow> rows;
    std::vector<char> selected;
    std::optional<size_t> focus;
    int rowUpdates = 0;
    int selectionUpdates = 0;
    // The author in the dialog: ticks boxes, answers true for OK.
    std::function<bool(ControlView&)> dialogAnswer;
    std::vector<std::map<int, bool>> dialogsOpened;
};

class FakeSheetView : public SheetView {
public:
    void ShowPage(int index, const std::string& c) override {
        page = index;
        caption = c;
    }
    void SetWizardButtons(uint32_t b) override { buttons = b; }
    void ShowAboutBox() override { ++aboutBoxes; }
    void EndWizard() override { ended = true; }

    int page = -1;
    std::string caption;
    uint32_t buttons = 0;
    int aboutBoxes = 0;
    bool ended = false;
};

// Records every key in the order read or written.
class FakeSettingsStore : public SettingsStore {
public:
    std::string ReadString(const std::string& key, const std::string& fallback) override {
        reads.push_back(key);
        return values.contains(key) ? values.at(key) : fallback;
    }
    void WriteString(const std::string& key, const std::string& value) override {
        writes.push_back(key);
        values[key] = value;
    }

    std::map<std::string, std::string> values;
    std::vector<std::string> reads;
    std::vector<std::string> writes;
};

// Programs in files can be started; the others give the system's text for a
// missing file.
class FakeLauncher : public ProgramLauncher {
public:
    bool IsFile(const std::string& path) const override { return files.contains(path); }
    std::optional<std::string> Start(const std::string& path) override {
        started.push_back(path);
        return IsFile(path) ? std::nullopt
                            : std::optional<std::string>("No such file or directory");
    }

    std::set<std::string> files;
    std::vector<std::string> started;
};

// The wizard on screen, open on the Content page, every view attached.
class WizardTest : public ::testing::Test {
protected:
    WizardTest() {
        app.blobCacheFolder = std::string();  // the builds here keep no cache
        sheet.Attach(sheetView);
        sheet.Content().Attach(contentPage);
        sheet.Interface().Attach(interfacePage);
        sheet.Create().Attach(createPage);
        sheet.Start();
    }

    std::string Path(const std::string& name) const { return dir / name; }

    // Makes a folder with these files and runs New Project on it.
    void NewProject(const std::vector<std::string>& files, const std::string& folder = "book") {
        std::filesystem::create_directories(dir.Path() / folder);
        for (const std::string& name : files)
            WriteText(dir / (folder + "/" + name), "<html><body>" + name + "</body></html>");
        prompts.AnswerFolder(Path(folder));
        sheet.Content().OnCommand(IDC_NEW_PROJECT);
    }

    // The first two letters of each entry's path, in page order.
    std::string Order() const {
        std::string order;
        for (const auto& e : app.project.pages) order += e->path.substr(0, 2) + " ";
        return order;
    }

    // Selects the rows as the author does; the list tells the controller.
    void Select(const std::vector<size_t>& rows) {
        contentPage.selected.assign(contentPage.rows.size(), 0);
        for (size_t row : rows) contentPage.selected.at(row) = 1;
        sheet.Content().OnFileListSelectionChanged();
    }
    std::vector<size_t> Selected() const {
        std::vector<size_t> rows;
        for (size_t i = 0; i < contentPage.selected.size(); ++i)
            if (contentPage.selected[i] != 0) rows.push_back(i);
        return rows;
    }

    // Saves the open project to name in the test's folder; its bytes.
    std::vector<uint8_t> SaveAs(const std::string& name) {
        app.projectFile = Path(name);
        return app.SaveProject() != 0 ? ReadFile(app.projectFile) : std::vector<uint8_t>();
    }

    // The project file at path, read by an application object of its own.
    std::unique_ptr<CBookApp> ReadProject(const std::string& path) {
        auto reader = std::make_unique<CBookApp>(readerPrompts);
        reader->projectFile = path;
        if (reader->OpenProject() == 0) return nullptr;
        return reader;
    }

    TempDir dir;
    ScriptedPrompts prompts;
    ScriptedPrompts readerPrompts;
    FakeSettingsStore store;
    FakeLauncher launcher;
    CWizardApp app{prompts, store, launcher};
    SheetController sheet{app};
    FakeSheetView sheetView;
    FakeContentView contentPage;
    FakeControls<ControlView> interfacePage;
    FakeCreateView createPage;
};

}  // namespace test
}  // namespace folivex
