// Common controls: the status bar, the tab control, the page control with
// its sheets, the progress bar and the up-down control. Each keeps its
// state in the object and gives it to every window it makes, so a window
// made late or made again (RecreateWnd) shows the same thing.
#pragma once

#include "Forms.h"

#include <commctrl.h>

#include <vector>

// ---------------------------------------------------------------- TStatusBar

enum TStatusPanelStyle { psText, psOwnerDraw };
enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };

class TStatusBar;
class TStatusPanels;

class TStatusPanel : public TPersistent {
 public:
  explicit TStatusPanel(TStatusPanels* collection) : collection_(collection) {}
  TStatusPanels* Collection() const { return collection_; }
  int Index() const;

  const String& Text() const { return text_; }
  void SetText(const String& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  // psOwnerDraw: the status bar's OnDrawPanel paints the panel.
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle value);
  void Assign(TPersistent* source) override;

 private:
  // The window learns of the change: all the parts, or this one's text.
  void Changed(bool parts);
  TStatusPanels* collection_;
  String text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelBevel bevel_ = pbLowered;
  TStatusPanelStyle style_ = psText;
};

// The panels of a status bar, left to right.
class TStatusPanels : public TPersistent {
 public:
  explicit TStatusPanels(TStatusBar* statusBar) : statusBar_(statusBar) {}
  ~TStatusPanels() override;
  TStatusBar* StatusBar() const { return statusBar_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (%d)" outside the list.
  TStatusPanel* Items(int index) const;
  TStatusPanel* operator[](int index) const { return Items(index); }
  TStatusPanel* Add();
  TStatusPanel* Insert(int index);
  void Delete(int index);
  void Clear();
  int IndexOf(const TStatusPanel* panel) const;
  // Changes between the two calls reach the window once, at the end.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  void Assign(TPersistent* source) override;

 private:
  friend class TStatusPanel;
  void Changed(TStatusPanel* panel, bool parts);
  TStatusBar* statusBar_;
  std::vector<TStatusPanel*> items_;
  int updateCount_ = 0;
  bool pending_ = false;
};

using TDrawPanelEvent = TEvent<TStatusBar*, TStatusPanel*, const TRect&>;

// Aligned to the bottom of its parent by default. The panels' right edges
// follow their widths exactly; the last panel reaches the right end of the
// bar, as the platform's status bar does.
class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;

  TStatusPanels* Panels() const { return panels_; }
  void SetPanels(TStatusPanels* value) { panels_->Assign(value); }
  // One panel across the whole bar showing SimpleText instead of the panels.
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  const String& SimpleText() const { return simpleText_; }
  void SetSimpleText(const String& value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  // The panel's device context while OnDrawPanel runs.
  TCanvas* Canvas() const { return canvas_.get(); }

  TDrawPanelEvent OnDrawPanel;

 protected:
  friend class TStatusPanels;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;
  virtual void DrawPanel(TStatusPanel* panel, const TRect& rect);
  // The parts and every panel's text, or one panel's text.
  void UpdatePanels();
  void UpdatePanel(int index);

 private:
  TStatusPanels* panels_;
  TOwned<TCanvas> canvas_;
  bool simplePanel_ = false;
  String simpleText_;
  bool sizeGrip_ = true;
};

// ---------------------------------------------------------------- tab controls

enum TTabPosition { tpTop, tpBottom };
// AllowChange starts true; false keeps the current tab.
using TTabChangingEvent = TEvent<TObject*, bool&>;

// What the tab control and the page control share: the tab strip's looks,
// its geometry and the change events of a person's choice of tab (a tab
// chosen in code fires neither).
class TCustomTabControl : public TWinControl {
 public:
  explicit TCustomTabControl(TComponent* owner);

  TTabPosition TabPosition() const { return tabPosition_; }
  void SetTabPosition(TTabPosition value);
  // 0: the platform's height (width: each tab as wide as its text).
  int TabHeight() const { return tabHeight_; }
  void SetTabHeight(int value);
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int value);
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value);
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool value);

  // The area inside the border and the tabs, in client coordinates.
  TRect DisplayRect();
  // The tab at a client point; -1 where there is none.
  int IndexOfTabAt(int x, int y);

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;
  void AdjustClientRect(TRect& rect) override;
  virtual bool CanChange();
  virtual void Change();
  // The person chose the window's tab index (TCN_SELCHANGE).
  virtual void TabChosen(int index) {}

  // The window's tab strip (no-ops without a window).
  void WindowInsertTab(int index, const String& text);
  void WindowDeleteTab(int index);
  void WindowSetTabText(int index, const String& text);
  void WindowClearTabs();
  int WindowCurrentTab();
  void WindowSelectTab(int index);

 private:
  void ApplyTabSize();
  TTabPosition tabPosition_ = tpTop;
  int tabHeight_ = 0;
  int tabWidth_ = 0;
  bool hotTrack_ = false;
  bool multiLine_ = false;
};

// A tab strip over a list of texts; each tab may carry an object
// (Tabs()->Objects(i), not owned).
class TTabControl : public TCustomTabControl {
 public:
  explicit TTabControl(TComponent* owner);
  ~TTabControl() override;

  TStrings* Tabs() const { return tabs_; }
  void SetTabs(TStrings* value) { tabs_->Assign(value); }
  // -1: no tab. An index outside the tabs is ignored. Setting it in code
  // fires neither OnChanging nor OnChange.
  int TabIndex();
  void SetTabIndex(int value);

 protected:
  class TTabStrings;
  void CreateWnd() override;
  void DestroyWnd() override;
  void TabChosen(int index) override;

 private:
  TStrings* tabs_;
  int tabIndex_ = -1;  // the model; the window's selection while it exists
};

class TPageControl;

// A page of a page control: a child control of it whose tab shows Caption.
class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;

  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* value);
  void SetParent(TWinControl* parent) override;
  // The position among the page control's pages.
  int PageIndex() const;
  void SetPageIndex(int value);
  // False hides the tab; the page stays (and stays shown when active).
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool value);
  // The index of the page's tab among the shown tabs; -1 when hidden.
  int TabIndex() const;

 protected:
  friend class TPageControl;
  void CreateParams(TCreateParams& params) override;
  void TextChanged() override;

 private:
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

// Only the active page shows; the pages fill the display rectangle.
class TPageControl : public TCustomTabControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(pages_.size()); }
  // EListError "List index out of bounds (%d)" outside the pages.
  TTabSheet* Pages(int index) const;
  TTabSheet* ActivePage() const { return activePage_; }
  // A page of another control is ignored. Setting it in code fires neither
  // OnChanging nor OnChange.
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  // -1 (or outside the pages): none.
  void SetActivePageIndex(int value);

 protected:
  friend class TTabSheet;
  void CreateWnd() override;
  void TabChosen(int index) override;
  // The pages' tabs again, as the pages and their TabVisible say.
  void UpdateTabs();

 private:
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void MovePage(TTabSheet* page, int index);
  void UpdateTab(TTabSheet* page);
  TTabSheet* PageOfTab(int tab) const;
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
};

// ---------------------------------------------------------------- TProgressBar

enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* owner);

  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  // Kept within Min..Max.
  int Position() const { return position_; }
  void SetPosition(int value);
  int Step() const { return step_; }
  void SetStep(int value) { step_ = value; }
  // Advances by Step; past Max it starts again from Min (and the other way
  // for a negative step), as the platform's bar does.
  void StepIt();
  // Moves by delta, kept within Min..Max.
  void StepBy(int delta) { SetPosition(position_ + delta); }
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool value);
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

 private:
  void ApplyRange();
  int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
  bool smooth_ = false;
  TProgressBarOrientation orientation_ = pbHorizontal;
};

// ---------------------------------------------------------------- TUpDown

enum TUDAlignButton { udLeft, udRight };
enum TUDOrientation { udHorizontal, udVertical };
enum TUDBtnType { btNext, btPrev };
using TUDClickEvent = TEvent<TObject*, TUDBtnType>;
using TUDChangingEvent = TEvent<TObject*, bool&>;

// Arrows that step a position between Min and Max; with an Associate (a
// sibling control) the control sits beside it and the associate's text
// shows the position, also before the control's window is made.
class TUpDown : public TWinControl {
 public:
  explicit TUpDown(TComponent* owner);

  TWinControl* Associate() const { return associate_; }
  void SetAssociate(TWinControl* value);
  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  // With an associate: the number its text shows, when it shows one.
  int Position();
  void SetPosition(int value);
  int Increment() const { return increment_; }
  void SetIncrement(int value);
  bool Wrap() const { return wrap_; }
  void SetWrap(bool value);
  bool ArrowKeys() const { return arrowKeys_; }
  void SetArrowKeys(bool value);
  // A thousands separator in the associate's text.
  bool Thousands() const { return thousands_; }
  void SetThousands(bool value);
  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation value);
  TUDAlignButton AlignButton() const { return alignButton_; }
  void SetAlignButton(TUDAlignButton value);

  // After the position changed by an arrow (btNext: towards Max).
  TUDClickEvent OnClick;
  // Before it changes; false keeps the position.
  TUDChangingEvent OnChanging;

 protected:
  using TControl::Click;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;
  void DestroyWnd() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  virtual bool CanChange();
  virtual void Click(TUDBtnType button);

 private:
  void ApplyRange();
  void AttachAssociate();
  // Without a window: the associate's text shows the position as the
  // window would write it.
  void ShowPosition();
  int min_ = 0, max_ = 100, position_ = 0, increment_ = 1;
  bool wrap_ = false, arrowKeys_ = true, thousands_ = true;
  TUDOrientation orientation_ = udVertical;
  TUDAlignButton alignButton_ = udRight;
  TWinControl* associate_ = nullptr;
  // The platform narrows the associate each time it is attached: its bounds
  // before and after, so that a new window of ours narrows it only once.
  TWinControl* narrowed_ = nullptr;
  TRect narrowedFrom_, narrowedTo_;
  int lastDelta_ = 0;  // of the change allowed last, until its click
};

// The list view and the tree view live in units of their own.
#if __has_include("Listview.h")
#include "Listview.h"
#endif
#if __has_include("Treeview.h")
#include "Treeview.h"
#endif
