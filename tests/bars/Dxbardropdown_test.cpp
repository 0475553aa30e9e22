// The combos' drop-down list in the virtual desktop: first its design tried
// on plain windows (a list box made as a child of a bar window, then
// detached to the desktop as a topmost tool window, its own procedure told
// once that it has the focus), then the list itself under the mouse and the
// keyboard.
#include <map>

#include "Barstest.h"
#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// What the bar window and the list were told.
std::map<UINT, int> gBarHeard;
int gSelChanges = 0;
std::map<UINT, int> gListHeard;
WNDPROC gListProc = nullptr;

LRESULT CALLBACK SpikeBarProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_MEASUREITEM:
      ++gBarHeard[msg];
      reinterpret_cast<MEASUREITEMSTRUCT*>(l)->itemHeight = 18;
      return TRUE;
    case WM_DRAWITEM: {
      ++gBarHeard[msg];
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
      bool selected = d->itemState & ODS_SELECTED;
      FillRect(d->hDC, &d->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
      char text[64] = "";
      if (static_cast<int>(d->itemID) >= 0) SendMessageA(d->hwndItem, LB_GETTEXT, d->itemID, reinterpret_cast<LPARAM>(text));
      SetBkMode(d->hDC, TRANSPARENT);
      SetTextColor(d->hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      TextOutA(d->hDC, d->rcItem.left + 2, d->rcItem.top + 1, text, lstrlenA(text));
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(w) == LBN_SELCHANGE) ++gSelChanges;
      return 0;
  }
  return DefWindowProcA(wnd, msg, w, l);
}

LRESULT CALLBACK SpikeListProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  ++gListHeard[msg];
  return CallWindowProcA(gListProc, wnd, msg, w, l);
}

// An MDI frame built in code with a maximised child.
class TSpikeFrame : public TForm {
 public:
  TSpikeFrame() : TForm(nullptr) {
    SetCaption("Spike frame");
    SetBounds(80, 60, 640, 460);
    SetFormStyle(fsMDIForm);
    EndLoading();
  }
};

}  // namespace

TEST(BarsDropDownSpike, ADetachedListTakesClicksAndCaptureButNeverTheFocus) {
  gBarHeard.clear();
  gListHeard.clear();
  gSelChanges = 0;
  auto* frame = new TSpikeFrame;
  frame->Show();
  ASSERT_TRUE(WaitVisible(frame->Handle()));
  auto* child = new TForm(frame);
  child->SetFormStyle(fsMDIChild);
  child->SetCaption("Maximised child");
  child->SetWindowState(wsMaximized);
  child->EndLoading();
  child->Show();
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(child->Handle()) != FALSE; }));

  // A bar-like window over the frame's client area with an edit that has
  // the focus.
  WNDCLASSA wc{};
  wc.lpfnWndProc = SpikeBarProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = "NembraSpikeBar";
  RegisterClassA(&wc);
  HWND bar = CreateWindowExA(0, "NembraSpikeBar", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 400, 28,
                             frame->Handle(), nullptr, wc.hInstance, nullptr);
  SetWindowPos(bar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 4, 4, 150, 20, bar, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_TRUE(FocusWindow(edit));

  // The list: a child of the bar when made, then the desktop's.
  HWND list = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "LISTBOX", "",
                              WS_CHILD | WS_VSCROLL | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY |
                                  LBS_NOINTEGRALHEIGHT,
                              0, 0, 150, 200, bar, reinterpret_cast<HMENU>(100), wc.hInstance, nullptr);
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < 25; ++i) {
    String name = "Site " + IntToStr(i);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  SetParent(list, nullptr);
  gListProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpikeListProc)));
  CallWindowProcA(gListProc, list, WM_SETFOCUS, 0, 0);
  POINT at = ClientPoint(frame->Handle(), 40, 120);
  SetWindowPos(list, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(list, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  ASSERT_TRUE(WaitVisible(list));
  UpdateWindow(list);

  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(GetActiveWindow(), frame->Handle());
  EXPECT_GT(gBarHeard[WM_MEASUREITEM], 0);
  EXPECT_GT(gBarHeard[WM_DRAWITEM], 0);
  // Above the maximised child.
  EXPECT_EQ(WindowFromPoint(CentreOf(list)), list);
  SaveScreenshot(frame->Handle(), "frame");

  // A click on the fourth row selects it and leaves the focus in the edit.
  RECT row{};
  SendMessageA(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row));
  ASSERT_TRUE(MoveTo(ClientPoint(list, 20, (row.top + row.bottom) / 2)));
  ASSERT_TRUE(MouseDown());
  EXPECT_EQ(GetFocus(), edit);
  ASSERT_TRUE(MouseUp());
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 3);
  EXPECT_GT(gSelChanges, 0);
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(GetActiveWindow(), frame->Handle());
  EXPECT_EQ(gListHeard[WM_KILLFOCUS], 0);

  // The list holds the capture: moves outside it come to it.
  SetCapture(list);
  EXPECT_EQ(GetCapture(), list);
  int moves = gListHeard[WM_MOUSEMOVE];
  ASSERT_TRUE(MoveTo(ClientPoint(frame->Handle(), 500, 300)));
  EXPECT_GT(gListHeard[WM_MOUSEMOVE], moves);
  ReleaseCapture();
  EXPECT_EQ(GetFocus(), edit);

  DestroyWindow(list);
  frame->Free();
}
