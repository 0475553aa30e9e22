// A form with a report list and a tree beside it, and readers of what the
// windows themselves hold.
#pragma once

#include <vector>

#include "classlib/Forms.h"
#include "classlib/Listview.h"
#include "classlib/Treeview.h"

// Images 0, 1, 2: solid red, blue and green squares.
TImageList* MakeColorImages(TComponent* owner);

class TViewsForm : public TForm {
 public:
  explicit TViewsForm(TComponent* owner);
  TImageList* Images;
  TListView* List;
  TTreeView* Tree;
};

// What the list window shows: a cell's text (asked of the window, so
// through the text callback), an item's image, the captions in window order.
String CellText(HWND list, int item, int subItem);
int ItemImage(HWND list, int item);
std::vector<String> Captions(HWND list);
// The texts of the window's children of parent (TVI_ROOT: the top level).
std::vector<String> NodeTexts(HWND tree, HTREEITEM parent);
int NodeImage(HWND tree, HTREEITEM item, bool selected);

std::vector<String> Strings(std::initializer_list<const char*> items);
