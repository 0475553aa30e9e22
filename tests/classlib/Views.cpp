#include "Views.h"

TImageList* MakeColorImages(TComponent* owner) {
  auto* list = new TImageList(owner);
  for (TColor c : {clRed, clBlue, clLime}) {
    TBitmap bmp;
    bmp.SetSize(16, 16);
    bmp.Canvas()->Brush()->SetColor(c);
    bmp.Canvas()->FillRect(TRect(0, 0, 16, 16));
    list->Add(&bmp, nullptr);
  }
  return list;
}

TViewsForm::TViewsForm(TComponent* owner) : TForm(owner) {
  SetCaption("Views");
  SetBounds(40, 40, 660, 420);
  Images = MakeColorImages(this);
  List = new TListView(this);
  List->SetName("List");
  List->SetParent(this);
  List->SetBounds(8, 8, 400, 360);
  List->SetViewStyle(vsReport);
  Tree = new TTreeView(this);
  Tree->SetName("Tree");
  Tree->SetParent(this);
  Tree->SetBounds(420, 8, 220, 360);
  EndLoading();
}

String CellText(HWND list, int item, int subItem) {
  char buf[260] = {};
  LVITEMA it{};
  it.iSubItem = subItem;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  SendMessageA(list, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
  return buf;
}

int ItemImage(HWND list, int item) {
  LVITEMA it{};
  it.mask = LVIF_IMAGE;
  it.iItem = item;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return it.iImage;
}

std::vector<String> Captions(HWND list) {
  std::vector<String> v;
  int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) v.push_back(CellText(list, i, 0));
  return v;
}

std::vector<String> NodeTexts(HWND tree, HTREEITEM parent) {
  std::vector<String> v;
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, parent == TVI_ROOT ? TVGN_ROOT : TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
  for (int guard = 0; item && guard < 10000; ++guard) {
    char buf[260] = {};
    TVITEMA it{};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    v.push_back(buf);
    item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
  }
  return v;
}

int NodeImage(HWND tree, HTREEITEM item, bool selected) {
  TVITEMA it{};
  it.mask = (selected ? TVIF_SELECTEDIMAGE : TVIF_IMAGE) | TVIF_HANDLE;
  it.hItem = item;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return selected ? it.iSelectedImage : it.iImage;
}

std::vector<String> Strings(std::initializer_list<const char*> items) {
  std::vector<String> v;
  for (const char* s : items) v.push_back(s);
  return v;
}
