// Walks the Win32 wizard the way an author does on a folder (New Project,
// a row selected, Interface, Create) and saves a picture of each page:
//   wizard_screenshots OUTPUT_FOLDER BOOK_FOLDER
// as wizard-win32-content.png, -interface.png and -create.png. Run under
// wine on an X display (docs/ holds the results); it shows the windows of
// folivex.exe, whose sheet and pages it opens, with the prompts answered by
// a script.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gui/win32/BookSheet.h"
#include "tests/wizard/WizardTestSupport.h"
#include "wizard/RememberedSettings.h"

namespace folivex {
namespace {

void Pump(HWND sheet, DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (SendMessageW(sheet, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)) == 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        Sleep(10);
    } while (GetTickCount() < end);
}

void AppendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    const auto size = static_cast<uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(size >> shift));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(crc >> shift));
}

// The window as it stands on the screen, frame included, as a PNG file.
bool SaveWindow(HWND window, const std::string& path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    // Rows of RGB, each after its filter byte (none).
    std::vector<uint8_t> raw;
    const auto* pixels = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const uint8_t* bgra = pixels + (static_cast<size_t>(y) * width + x) * 4;
            raw.insert(raw.end(), {bgra[2], bgra[1], bgra[0]});
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    for (uint32_t value : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<uint8_t>(value >> shift));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    AppendChunk(png, "IHDR", header);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK)
        return false;
    packed.resize(packedSize);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    test::WriteFile(path, png);
    return true;
}

int Run(const std::string& out, const std::string& folder) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ScriptedPrompts prompts;
    test::FakeSettingsStore store;
    test::FakeLauncher launcher;
    CWizardApp app(prompts, store, launcher);
    LoadRememberedSettings(app, store);  // the defaults of a first run
    SheetController controller(app);
    BookSheet sheet(controller);
    HWND window = sheet.OpenModeless();
    if (window == nullptr) {
        std::fprintf(stderr, "wizard_screenshots: the wizard did not open (no display?)\n");
        return 1;
    }
    SetWindowPos(window, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(window, 300);

    prompts.AnswerFolder(folder);
    HWND content = sheet.Page(SheetController::kContentPage).Dialog().Window();
    SendMessageW(GetDlgItem(content, IDC_NEW_PROJECT), BM_CLICK, 0, 0);
    HWND list = GetDlgItem(content, IDC_FILE_LIST);
    LVITEMW selected{};
    selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
    SetFocus(list);
    Pump(window, 500);
    bool saved = SaveWindow(window, out + "\\wizard-win32-content.png");
    for (const char* page : {"interface", "create"}) {
        SendMessageW(window, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        Pump(window, 500);
        saved = SaveWindow(window, out + "\\wizard-win32-" + page + ".png") && saved;
    }
    DestroyWindow(window);
    return saved ? 0 : 1;
}

}  // namespace
}  // namespace folivex

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wizard_screenshots OUTPUT_FOLDER BOOK_FOLDER\n");
        return 2;
    }
    return folivex::Run(argv[1], argv[2]);
}
