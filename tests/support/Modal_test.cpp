#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "support/Benchwin.h"
#include "support/Modal.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// An in-memory dialog template (DLGTEMPLATE and its items, DWORD aligned).
class TDialogTemplate {
 public:
  TDialogTemplate(const char* caption, int w, int h) {
    Align();
    DWORD style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    Dword(style);
    Dword(0);
    count_ = words_.size();
    Word(0);  // item count, patched in Add
    Word(10), Word(10), Word(static_cast<WORD>(w)), Word(static_cast<WORD>(h));
    Word(0), Word(0);  // no menu, default class
    Text(caption);
    Word(8);
    Text("MS Shell Dlg");
  }
  void Add(WORD atom, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    Align();
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);
    Word(static_cast<WORD>(x)), Word(static_cast<WORD>(y)), Word(static_cast<WORD>(w)), Word(static_cast<WORD>(h));
    Word(static_cast<WORD>(id));
    Word(0xFFFF), Word(atom);
    Text(text);
    Word(0);  // no creation data
    ++words_[count_];
  }
  const DLGTEMPLATE* Get() {
    Align();
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
  }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
  void Text(const char* s) {
    for (wchar_t c : StringToWide(s)) Word(c);
    Word(0);
  }
  void Align() {
    if (words_.size() % 2) Word(0);
  }
  std::vector<WORD> words_;
  size_t count_ = 0;
};

enum : WORD { kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83, kComboBox = 0x85 };

struct TChoices {
  String name, colour, number;
  bool remember = false;
  int comboNotes = 0, listNotes = 0;
};

String SelectedText(HWND c, bool combo) {
  LRESULT i = SendMessageA(c, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  if (i < 0) return "";
  char buf[64] = "";
  SendMessageA(c, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
  return buf;
}

INT_PTR CALLBACK ChoicesProc(HWND d, UINT m, WPARAM w, LPARAM l) {
  auto* c = reinterpret_cast<TChoices*>(GetWindowLongPtrA(d, DWLP_USER));
  switch (m) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(d, DWLP_USER, l);
      for (const char* s : {"Red", "Green", "Blue"}) SendDlgItemMessageA(d, 102, CB_ADDSTRING, 0, (LPARAM)s);
      for (const char* s : {"One", "Two", "Three"}) SendDlgItemMessageA(d, 104, LB_ADDSTRING, 0, (LPARAM)s);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(w) == CBN_SELCHANGE && LOWORD(w) == 102) ++c->comboNotes;
      if (HIWORD(w) == LBN_SELCHANGE && LOWORD(w) == 104) ++c->listNotes;
      if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
        char buf[64] = "";
        GetDlgItemTextA(d, 101, buf, sizeof buf);
        c->name = buf;
        c->colour = SelectedText(GetDlgItem(d, 102), true);
        c->number = SelectedText(GetDlgItem(d, 104), false);
        c->remember = IsDlgButtonChecked(d, 103) == BST_CHECKED;
        EndDialog(d, LOWORD(w));
      }
      return TRUE;
  }
  return FALSE;
}

INT_PTR ShowChoices(TChoices& c) {
  TDialogTemplate t("Bench dialog", 200, 150);
  t.Add(kStatic, "&Name:", SS_LEFT, 7, 9, 30, 8, -1);
  t.Add(kEdit, "", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 40, 7, 100, 12, 101);
  t.Add(kComboBox, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 40, 24, 100, 60, 102);
  t.Add(kButton, "&Remember", BS_AUTOCHECKBOX | WS_TABSTOP, 40, 42, 100, 10, 103);
  t.Add(kListBox, "", WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 40, 56, 100, 40, 104);
  t.Add(kButton, "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 40, 125, 50, 14, IDOK);
  t.Add(kButton, "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 95, 125, 50, 14, IDCANCEL);
  return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), nullptr, ChoicesProc,
                                 reinterpret_cast<LPARAM>(&c));
}

}  // namespace

TEST(Modal, MessageBoxIsAnsweredAndItsTextRecorded) {
  TModalDriver modal;
  modal.Window("Bench question", "#32770").Press("No");
  int r = MessageBoxA(nullptr, "Delete bench.txt?", "Bench question", MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(r, IDNO);
  ASSERT_TRUE(modal.Finish());
  ASSERT_EQ(modal.Seen().size(), 1u);
  EXPECT_EQ(modal.Seen()[0].Caption, "Bench question");
  EXPECT_EQ(modal.Seen()[0].Text(), "Delete bench.txt?");
  EXPECT_EQ(modal.Seen()[0].Buttons, (std::vector<String>{"&Yes", "&No"}));
}

TEST(Modal, BoxesOfOneCaptionAreAnsweredInTurn) {
  TModalDriver modal;
  modal.Window("Bench", "#32770").Press("OK").Window("Bench", "#32770").Press("Cancel");
  int first = MessageBoxA(nullptr, "First", "Bench", MB_OKCANCEL);
  int second = MessageBoxA(nullptr, "Second", "Bench", MB_OKCANCEL);
  EXPECT_EQ(first, IDOK);
  EXPECT_EQ(second, IDCANCEL);
  ASSERT_TRUE(modal.Finish());
  ASSERT_EQ(modal.Seen().size(), 2u);
  EXPECT_EQ(modal.Seen()[1].Text(), "Second");
}

TEST(Modal, DialogControlsAreFilledPickedTickedAndPressed) {
  TChoices c;
  TModalDriver modal;
  modal.Window("Bench dialog")
      .SetEditAfter("&Name:", "Ada")
      .Pick(102, "Green")
      .Check(103)
      .Pick(104, "Two")
      .Press("OK");
  EXPECT_EQ(ShowChoices(c), IDOK);
  EXPECT_TRUE(modal.Finish());
  EXPECT_EQ(c.name, "Ada");
  EXPECT_EQ(c.colour, "Green");
  EXPECT_EQ(c.number, "Two");
  EXPECT_TRUE(c.remember);
  EXPECT_EQ(c.comboNotes, 1);
  EXPECT_EQ(c.listNotes, 1);
}

TEST(Modal, KeysEndTheDialogAsItsButtonsWould) {
  struct {
    WORD key;
    INT_PTR result;
  } cases[] = {{VK_ESCAPE, IDCANCEL}, {VK_RETURN, IDOK}};
  for (const auto& k : cases) {
    TChoices c;
    TModalDriver modal;
    modal.Window("Bench dialog").SetEditAt(0, "Bob").Check("Remember").Check(103, false).Key(k.key);
    EXPECT_EQ(ShowChoices(c), k.result) << "key " << k.key;
    EXPECT_TRUE(modal.Finish());
    EXPECT_EQ(c.name, "Bob");
    EXPECT_FALSE(c.remember);
  }
}

TEST(Modal, SaveDialogTakesTheFileNameAfterItsLabel) {
  String path = MakeTempFolder("bench-save") + "\\chosen.txt";
  TModalDriver modal;
  modal.Window("Bench save", "#32770").SetEditAfter("File &name:", path).Press("&Save");
  char file[MAX_PATH] = "";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrTitle = "Bench save";
  ofn.lpstrFilter = "Text files\0*.txt\0";
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST;
  EXPECT_TRUE(GetSaveFileNameA(&ofn));
  EXPECT_TRUE(modal.Finish());
  EXPECT_STREQ(file, path.c_str());
}

TEST(Modal, StepTimeOutFailsTheTestAndDismissesTheWindow) {
  struct {
    const char* window;
    const char* button;
    const char* message;
  } cases[] = {
      {"No such window", "OK", "window [No such window]"},
      {"Bench stray", "&Maybe", "no enabled button [&Maybe]"},
  };
  for (const auto& c : cases) {
    int r = 0;
    DWORD took = 0;
    auto run = [&] {
      TModalDriver modal(300);
      modal.Window(c.window).Press(c.button);
      DWORD start = GetTickCount();
      r = MessageBoxA(nullptr, "Stray", "Bench stray", MB_OK);
      took = GetTickCount() - start;
      EXPECT_TRUE(modal.Failed());
      // What was there is named.
      EXPECT_NE(modal.Error().find("[Bench stray] (#32770)"), String::npos) << modal.Error();
    };
    EXPECT_NONFATAL_FAILURE(run(), c.message);
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_LT(took, 3000u);
  }
}

namespace {
// Waits up to ms for every process of that name to end, then ends those left.
void EndProcessesNamed(const char* exe, DWORD ms) {
  uint64_t deadline = GetTickCount64() + ms;
  for (;;) {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe{};
    pe.dwSize = sizeof pe;
    if (snap != INVALID_HANDLE_VALUE && Process32First(snap, &pe)) {
      do {
        if (_stricmp(pe.szExeFile, exe) == 0) pids.push_back(pe.th32ProcessID);
      } while (Process32Next(snap, &pe));
    }
    if (snap != INVALID_HANDLE_VALUE) CloseHandle(snap);
    if (pids.empty()) return;
    if (GetTickCount64() >= deadline) {
      for (DWORD pid : pids)
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
          TerminateProcess(h, 0);
          WaitForSingleObject(h, 2000);
          CloseHandle(h);
        }
      return;
    }
    PumpFor(100);
  }
}
}  // namespace

TEST(Modal, BoxOfAnotherProcessIsAnsweredFromAHelperThread) {
  // WinHelp with a missing file: winhlp32 asks in a box of its own process
  // and WinHelp waits for the answer.
  TPlainWindow w("Bench help", 100, 100, 200, 100);
  const char* file = "C:\\nembra-bench-missing.hlp";
  TModalDriver modal(15000, TModalDriver::msAnyProcess);
  modal.Window("ERROR", "#32770").Press("&No");
  EXPECT_TRUE(WinHelpA(w.Handle(), file, HELP_CONTENTS, 0));
  EXPECT_TRUE(modal.Finish());
  ASSERT_EQ(modal.Seen().size(), 1u);
  EXPECT_NE(modal.Seen()[0].Text().find("nembra-bench-missing.hlp"), String::npos) << modal.Seen()[0].Text();
  WinHelpA(w.Handle(), file, HELP_QUIT, 0);
  // winhlp32 shares the test's output pipe: CTest waits for the test until
  // it is gone, so it is made to go.
  EndProcessesNamed("winhlp32.exe", 5000);
}
