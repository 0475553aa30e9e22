#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "support/Testutil.h"

namespace {

class TBox : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(clNavy);
    Canvas()->FillRect(ClientRect());
  }
};

class TSampleForm : public TForm {
 public:
  explicit TSampleForm(TComponent* owner) : TForm(owner) {
    SetCaption("Sample");
    SetBounds(100, 100, 400, 300);
    top = Make("Top", alTop, 40);
    left = Make("Left", alLeft, 120);
    bottom = Make("Bottom", alBottom, 20);
    client = Make("Client", alClient, 0);
    EndLoading();
  }
  TBox* Make(const char* name, TAlign a, int size) {
    auto* b = new TBox(this);
    b->SetName(name);
    b->SetParent(this);
    b->SetBounds(0, 0, size, size);
    b->SetAlign(a);
    return b;
  }
  TBox *top, *left, *bottom, *client;
};

// A list box: a superclass of the system's class.
class TPlainList : public TWinControl {
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = &ControlSuperclass("TPlainList", "LISTBOX");
  }
};

}  // namespace

TEST(Controls, SuperclassedControlSeesItsFirstMessages) {
  // The system class sets itself up on WM_NCCREATE and WM_CREATE.
  auto* f = new TSampleForm(Application);
  auto* list = new TPlainList(f);
  list->SetParent(f);
  list->SetBounds(10, 10, 100, 60);
  HWND h = list->Handle();
  EXPECT_EQ(SendMessageA(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ftp.example.org")), 0);
  EXPECT_EQ(SendMessageA(h, LB_GETCOUNT, 0, 0), 1);
  f->Free();
}

TEST(Controls, AlignLaysOutInThePlatformOrder) {
  auto* f = new TSampleForm(Application);
  f->Show();
  ASSERT_TRUE(WaitFor([&] { return f->client->paints > 0; }));
  TRect c = f->ClientRect();
  EXPECT_EQ(f->top->BoundsRect(), TRect(0, 0, c.right, 40));
  EXPECT_EQ(f->bottom->BoundsRect(), TRect(0, c.bottom - 20, c.right, c.bottom));
  EXPECT_EQ(f->left->BoundsRect(), TRect(0, 40, 120, c.bottom - 20));
  EXPECT_EQ(f->client->BoundsRect(), TRect(120, 40, c.right, c.bottom - 20));
  f->SetBounds(100, 100, 600, 500);
  PumpFor(50);
  c = f->ClientRect();
  EXPECT_EQ(f->client->BoundsRect(), TRect(120, 40, c.right, c.bottom - 20));
  RECT wr;
  GetWindowRect(f->client->Handle(), &wr);
  MapWindowPoints(HWND_DESKTOP, f->Handle(), reinterpret_cast<POINT*>(&wr), 2);
  EXPECT_EQ(TRect(wr), f->client->BoundsRect());
  f->Free();
}

TEST(Controls, ManifestLoadsTheVersion6CommonControls) {
  Application->Initialize();
  char path[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
  // The side-by-side version 6 is loaded; Wine's file still reads 5.81.
  String p = LowerCase(path);
  EXPECT_NE(p.find("microsoft.windows.common-controls"), String::npos) << path;
  TComCtlVersion real = ComCtlVersion();
  EXPECT_TRUE(real.AtLeast(5, 81)) << real.Major << "." << real.Minor;
  TComCtlVersion old{4, 71};
  ForceComCtlVersion(&old);
  EXPECT_TRUE(ComCtlVersion().AtLeast(4, 70));
  EXPECT_FALSE(ComCtlVersion().AtLeast(4, 72));
  ForceComCtlVersion(nullptr);
  EXPECT_EQ(ComCtlVersion().Major, real.Major);
  EXPECT_EQ(ComCtlVersion().Minor, real.Minor);
}
