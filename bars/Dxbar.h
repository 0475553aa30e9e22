// Command bars: the bar manager of a form, its categories, groups and hint
// window, the items (commands), their links (placements on bars and menus),
// the bars themselves, sub items, list items and container items, and the
// unit-wide services they share.
//
// The bar windows, item controls and dock sites are declared in
// Dxbarcontrols.h.
#pragma once

#include <array>
#include <typeinfo>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/Imglist.h"

// ---------------------------------------------------------------- enumerations

enum TdxBarManagerStyle { bmsStandard, bmsEnhanced, bmsFlat };
// dsNone: floating.
enum TdxBarDockingStyle { dsNone, dsLeft, dsTop, dsRight, dsBottom };
using TdxBarDockingStyles = TSet<TdxBarDockingStyle>;
enum TdxBarItemVisible { ivNever, ivInCustomizing, ivAlways };
enum TdxBarPaintStyle { psStandard, psCaption, psCaptionInMenu, psCaptionGlyph };
enum TdxBarButtonStyle { bsDefault, bsChecked, bsDropDown };
enum TdxBarItemAlign { iaLeft, iaCenter, iaRight, iaClient };
enum TdxBarUserDefine { udCaption, udGlyph, udPaintStyle, udWidth };
using TdxBarUserDefines = TSet<TdxBarUserDefine>;
enum TdxBarMenuAnimations { maNone, maRandom, maUnfold, maSlide };
enum TdxBarPaintType { ptHorz, ptMenu, ptVert };
enum TdxArrowType { atRight, atDown };
enum TdxBarMarkState { msNone, msSelected, msPressed };
enum TdxBarBorderStyle { bbsNone, bbsSingle };

class TdxBarManager;
class TdxBarManagerList;
class TdxBarItem;
class TdxBarButton;
class TdxBarItemLink;
class TdxBarItemLinks;
class TdxBar;
class TdxBars;
class TdxBarGroup;
class TdxBarHintWindow;
class TdxBarPopupMenu;
class TCustomdxBarSubItem;
class TCustomdxBarControl;
class TdxBarControl;
class TdxBarSubMenuControl;
class TdxBarItemControl;
class TdxDockControl;
class TdxBarDockControl;

using TdxBarEvent = TEvent<TdxBarManager*, TdxBar*>;
using TdxBarVisibleChangeEvent = TEvent<TdxBarManager*, TdxBar*>;
using TdxBarItemLinkEvent = TEvent<TdxBarManager*, TdxBarItemLink*>;
using TdxBarCanDockingEvent = TEvent<TdxBar*, TdxBarDockingStyle, TdxDockControl*, bool&>;
using TdxBarMenuMergeEvent = TEvent<TdxBarManager*, TdxBarManager*, bool>;
using TdxBarShowPopupEvent = TEvent<TdxBarManager*, TdxBarItemLinks*>;
using TdxBarClickItemEvent = TEvent<TdxBarManager*, TdxBarItem*>;
using TdxBarPaintSubMenuBarEvent = TEvent<TObject*, TCanvas*, const TRect&>;

// ---------------------------------------------------------------- classes of items and controls

// What the item-class registry and the definitions know of an item class.
struct TdxBarItemClassInfo {
  const char* Name;
  const std::type_info* Type;
  TdxBarItem* (*Create)(TComponent* owner);
};
using TdxBarItemClass = const TdxBarItemClassInfo*;

// The control class that shows the links of an item class.
struct TdxBarItemControlClassInfo {
  const char* Name;
  TdxBarItemControl* (*Create)(TdxBarItemLink* link);
};
using TdxBarItemControlClass = const TdxBarItemControlClassInfo*;

// Declares the class's Class() in a class body; DX_BAR_ITEM_CLASS_IMPL in
// its source defines it.
#define DX_BAR_ITEM_CLASS() static TdxBarItemClass Class()
#define DX_BAR_ITEM_CLASS_IMPL(T)                                                                     \
  TdxBarItemClass T::Class() {                                                                        \
    static const TdxBarItemClassInfo info{#T, &typeid(T), [](TComponent* o) -> TdxBarItem* { return new T(o); }}; \
    return &info;                                                                                     \
  }

// ---------------------------------------------------------------- unit services

// Start-up and shut-down of the command bars, counted: the first
// dxBarInitialize starts the unit, the matching last dxBarFinalize ends it.
void dxBarInitialize();
void dxBarFinalize();
bool dxBarInitialized();
// Starts the unit for the lifetime of the object.
class TdxBarUnit {
 public:
  TdxBarUnit() { dxBarInitialize(); }
  ~TdxBarUnit() { dxBarFinalize(); }
  TdxBarUnit(const TdxBarUnit&) = delete;
  TdxBarUnit& operator=(const TdxBarUnit&) = delete;
};

// Every live bar manager; null outside start-up and shut-down.
extern TdxBarManagerList* dxBarManagerList;
// Glyphs of flat-style items that are not selected are faded.
extern bool dxBarMakeInactiveImagesDingy;
// Colour step of the background of rarely used menu entries.
extern int dxBarNonrecentlyUsedItemsColorDelta;
// The platform flags of the bars (the shell utilities have functions of
// the same names).
namespace dxBarOS {
extern bool IsWin9x;
extern bool IsWin95;
extern bool IsWin98OrW2K;
}  // namespace dxBarOS
// Bits per pixel of the screen.
extern int ScreenBitsPixel;

// The flags for a version record.
void dxBarSetOSFlags(const OSVERSIONINFOA& version);

// TrackMouseEvent of USER32 (null without it: the timer fallback tracks).
using TTrackMouseEventProc = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
extern TTrackMouseEventProc TrackMouseEventProc;
using TUpdateLayeredWindowProc = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                               DWORD);
extern TUpdateLayeredWindowProc UpdateLayeredWindowProc;

// The cursors of the screen's table, loaded at start-up.
constexpr TCursor crdxBarDrag = 1041;
constexpr TCursor crdxBarDragCopy = 1042;
constexpr TCursor crdxBarDragNoDrop = 1043;
constexpr TCursor crdxBarEditSizing = 1044;

// The classes the definitions make by name: item classes (joined by
// dxBarRegisterItem) and the group class.
using TdxBarComponentFactory = std::function<TComponent*(TComponent* owner)>;
void dxBarRegisterClass(const String& name, TdxBarComponentFactory factory);
void dxBarUnregisterClass(const String& name);
// Null for a name that is not registered.
TdxBarComponentFactory dxBarFindClass(const String& name);

// Item-class registry.
struct TdxBarItemClassRec {
  TdxBarItemClass ItemClass;
  TdxBarItemControlClass ControlClass;
  bool Visible;
};
void dxBarRegisterItem(TdxBarItemClass itemClass, TdxBarItemControlClass controlClass, bool visible);
void dxBarUnregisterItem(TdxBarItemClass itemClass);
int dxBarItemCount();
TdxBarItemClass dxBarItemClass(int index);
int dxBarVisibleItemCount();
TdxBarItemClass dxBarVisibleItemClass(int index);
// The control class registered for exactly the item's class (an ancestor's
// entry does not count); null when none is.
TdxBarItemControlClass dxBarItemControlClass(const TdxBarItem* item);
// The control class registered for an item class (its first record); null
// when the class is not registered.
TdxBarItemControlClass dxBarFindItemControlClass(TdxBarItemClass itemClass);
// Puts another control class in the first record of the item class, in
// place (the registry keeps its order); returns the one it replaces.
TdxBarItemControlClass dxBarReplaceItemControl(TdxBarItemClass itemClass, TdxBarItemControlClass controlClass);

// Bar windows. A reference remembers the window's serial number, so a new
// window made where a freed one was is not taken for it.
class TdxBarControlRef {
 public:
  TdxBarControlRef() = default;
  TdxBarControlRef(TCustomdxBarControl* control);
  TCustomdxBarControl* Control() const { return control_; }
  uint64_t Serial() const { return serial_; }

 private:
  TCustomdxBarControl* control_ = nullptr;
  uint64_t serial_ = 0;
};
void RegisterBarControl(TCustomdxBarControl* barControl);
void UnregisterBarControl(TCustomdxBarControl* barControl);
// The window the reference names still exists.
bool BarControlExists(const TdxBarControlRef& ref);
int BarControlCount();
// The index-th bar window that exists (null out of range).
TCustomdxBarControl* GetBarControl(int index);
TCustomdxBarControl* ActiveBarControl();
void SetActiveBarControl(TCustomdxBarControl* barControl);
TCustomdxBarControl* GetRootBarControl(TCustomdxBarControl* barControl);
TCustomdxBarControl* GetRootToolbarControl(TCustomdxBarControl* barControl);
TCustomdxBarControl* GetItemControlRootBarControl(TdxBarItemControl* itemControl);
TCustomdxBarControl* GetItemControlRootToolbarControl(TdxBarItemControl* itemControl);
bool IsToolbarControlVertical(TCustomdxBarControl* barControl);
bool IsVertical(TCustomdxBarControl* barControl);

// Managers.
TdxBarManager* GetBarManagerByForm(TCustomForm* form);
// The form is the active window (an MDI child: the active child of the
// active main form).
bool dxBarFormIsActive(TCustomForm* form);
void dxBarDesignerModified(TdxBarManager* barManager);
TdxBarItemVisible VisibleTodxBarVisible(bool value);
// Items the library makes for its own popups; each leaves the list when freed.
void AddInternalItem(TdxBarItem* item);
int InternalItemCount();
// Frees every internal item that has no control on screen, last first.
void ClearInternalItemList();

// Windows and input.
TControl* FindControlOrParent(HWND wnd);
HWND WindowFromPointDeep(TPoint screenPoint);
bool IsWindowInside(HWND wnd, HWND ancestor);
bool LeftButtonPressed();
bool RightButtonPressed();
TRect GetWorkArea(TPoint point);
int GetSmallCaptionHeight();
// Hand on the queued mouse messages (paint messages) through the
// application's filter, never waiting; a WM_QUIT taken on the way is posted
// again.
void ProcessMouseMessages();
void ProcessPaintMessages();
void BeginMouseTracking(HWND wnd);
void EndMouseTracking(HWND wnd);
bool IsMouseTracking(HWND wnd);
// 0: "MenuPopup", 1: "MenuCommand".
void PlayMenuSound(int sound);

// A nested loop of the bars (PumpUntil): every message is first offered to
// take (true: handled there); the rest pass the application's filter and
// are translated and dispatched. Ends when done() holds, WM_QUIT arrives
// (posted again) or *alive turns false.
TPumpResult dxBarMessageLoop(const std::function<bool(MSG&)>& take, const std::function<bool()>& done,
                             const std::shared_ptr<bool>& alive = nullptr);

// Text and fonts.
String GetTextOf(const String& text);
HFONT CloneFont(HFONT font);
void CreateBarFontHandle(TFont* font, HFONT& handle, bool scaled);
void CheckMinEditWidth(int& width);

// Drawing.
void DrawItemArrow(HDC dc, TRect r, TdxArrowType arrowType, bool enabled, bool selected, bool flat);
void DrawLargeItemArrow(HDC dc, TRect r, TdxArrowType arrowType, int size, bool selected, bool enabled, bool flat);
// The arrow size DrawItemArrow takes for a rectangle.
int ItemArrowSize(const TRect& r, TdxArrowType arrowType);
void FrameFlatSelRect(HDC dc, const TRect& r);
void DrawVerticalGradient(TCanvas* canvas, const TRect& r, int fromRed, int toRed, int fromGreen, int toGreen,
                          int fromBlue, int toBlue);
void TransparentDraw(HDC dc, HBRUSH brush, const TRect& r, const TRect& glyphRect, TBitmap* bitmap,
                     TCustomImageList* images, int imageIndex, bool enabled, bool grayed, bool flat, bool raise,
                     bool keepColour, bool noRaise, TColor imageBkColor);
// The 8 x 8 checkerboard of down buttons; made again on a system colour
// change (dxBarSysColorChanged).
HBRUSH PatternBrush();
void dxBarSysColorChanged();

// Kept by the managers and the items.
void dxBarInstallHooks();
void dxBarRemoveHooks();
void RemoveInternalItem(TdxBarItem* item);
void dxBarFreePatternBrush();

// ---------------------------------------------------------------- seams

// What the bars ask of the system for timers, input state, system colours
// and hooks; tests install their own.
class TdxBarSystem {
 public:
  virtual ~TdxBarSystem() = default;
  // A thread timer (SetTimer without a window); 0 when none was made.
  virtual UINT_PTR SetTimer(UINT elapse, TIMERPROC proc);
  virtual void KillTimer(UINT_PTR id);
  virtual SHORT GetAsyncKeyState(int key);
  virtual SHORT GetKeyState(int key);
  // The thread's 256 key states (GetKeyboardState).
  virtual void GetKeyboardState(BYTE state[256]);
  virtual TPoint GetCursorPos();
  virtual COLORREF GetSysColor(int index);
  // A hook of the current thread.
  virtual HHOOK SetHook(int idHook, HOOKPROC proc);
  virtual void RemoveHook(HHOOK hook);
  // The day it is (the date items' "today").
  virtual double Today();
};
TdxBarSystem* dxBarSystem();
// Installs s (null: the real system) and returns the one it replaces.
TdxBarSystem* dxBarSetSystem(TdxBarSystem* s);
// A system colour through the seam.
COLORREF dxBarSysColor(int index);

// Where a manager's layout is stored; the default store keeps nothing.
class TdxBarLayoutStore {
 public:
  virtual ~TdxBarLayoutStore() = default;
  virtual void LoadFromRegistry(TdxBarManager* manager, const String& registryPath) {}
  virtual void SaveToRegistry(TdxBarManager* manager, const String& registryPath) {}
  virtual void LoadFromIniFile(TdxBarManager* manager, const String& fileName) {}
  virtual void SaveToIniFile(TdxBarManager* manager, const String& fileName) {}
};
TdxBarLayoutStore* dxBarLayoutStore();
TdxBarLayoutStore* dxBarSetLayoutStore(TdxBarLayoutStore* store);

// The thread hooks of the bars.
LRESULT CALLBACK dxBarKeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK dxBarMouseHookProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK dxBarCallWndProcHookProc(int code, WPARAM wParam, LPARAM lParam);
// Installed hooks (0 when the hook is not installed).
HHOOK dxBarHookHandle(int idHook);
// An in-bar edit window hands a key it received to the keyboard hook (code
// 0, the next hook not called); true when the bars took it.
bool dxBarKeyboardHookDirectCall(WPARAM key, LPARAM keyData);

// ---------------------------------------------------------------- manager list

class TdxBarManagerList : public TObject {
 public:
  TdxBarManagerList() = default;
  // Frees every manager still in the list, first to last.
  ~TdxBarManagerList() override;
  int Count() const { return static_cast<int>(list_.size()); }
  TdxBarManager* GetBarManager(int index) const;
  TdxBarManager* CustomizingBarManager() const;
  void Add(TdxBarManager* manager);
  void Remove(TdxBarManager* manager);
  int IndexOf(TdxBarManager* manager) const;

 private:
  std::vector<TdxBarManager*> list_;
};

// ---------------------------------------------------------------- categories

// The visibility data of one category, held as the string's object.
class TdxBarCategoryData : public TObject {
 public:
  TdxBarItemVisible ItemsVisible = ivAlways;
  TdxBarItemVisible LoadedItemsVisible = ivAlways;
  bool Visible = true;
};

// The category names; items refer to them by index, kept right by Insert,
// Delete, Exchange and Move.
class TdxBarManagerCategories : public TStringList {
 public:
  explicit TdxBarManagerCategories(TdxBarManager* manager);
  ~TdxBarManagerCategories() override;
  TdxBarManager* BarManager() const { return manager_; }
  void Insert(int index, const String& s) override;
  // Destroys the category's items; an emptied list gets "Default" again.
  void Delete(int index) override;
  void Exchange(int a, int b) override;
  void Move(int from, int to);
  void Clear() override;
  TdxBarCategoryData* Data(int index) const;
  // Creates the record when there is none.
  TdxBarCategoryData* NeedData(int index);
  // The streamed lists: category visibility and items visibility by index.
  std::vector<bool> Visibles() const;
  void SetVisibles(const std::vector<bool>& values);
  std::vector<int> ItemsVisibles() const;
  void SetItemsVisibles(const std::vector<int>& values);

 protected:
  void Changed() override;

 private:
  void FreeData(int index);
  TdxBarManager* manager_;
  bool moving_ = false;
};

// ---------------------------------------------------------------- groups

// Switches Enabled and Visible of several items and nested groups at once.
class TdxBarGroup : public TComponent {
 public:
  explicit TdxBarGroup(TComponent* owner);
  ~TdxBarGroup() override;
  TdxBarManager* BarManager() const { return manager_; }
  void SetBarManager(TdxBarManager* manager) { manager_ = manager; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TdxBarItemVisible Visible() const { return visible_; }
  void SetVisible(TdxBarItemVisible value);
  int Count() const { return static_cast<int>(items_.size()); }
  TComponent* Items(int index) const;
  // Nil, a member and anything but an item or group are ignored; a group
  // that contains this one at any depth raises "You cannot create recursive
  // groups".
  void Add(TComponent* component);
  void Delete(int index);
  int IndexOf(TComponent* component) const;
  void Move(int from, int to);
  void Remove(TComponent* component);
  bool Contains(const TdxBarGroup* group) const;
  // The position in the manager's group list.
  int Index() const;
  void SetIndex(int value);
  TComponent* GetParentComponent() const;
  bool HasParent() const { return manager_ != nullptr; }
  void SetParentComponent(TComponent* value);
  void SetName(const String& name) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TdxBarManager* manager_ = nullptr;
  bool enabled_ = true;
  std::vector<TComponent*> items_;
  TdxBarItemVisible visible_ = ivAlways;
};

// ---------------------------------------------------------------- hint window

// The one tooltip of the item hints of every manager.
class TdxBarHintWindow : public TCustomControl {
 public:
  explicit TdxBarHintWindow(TComponent* owner);
  // Shows text at a screen point, kept inside the work area.
  void ActivateHint(TPoint point, const String& text, TdxBarManager* manager);
  void HideHint();
  bool IsShown() const;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void Dispatch(TMessage& msg) override;
};
using TdxBarHintWindowClass = TdxBarHintWindow* (*)();
extern TdxBarHintWindowClass dxBarHintWindowClass;
// The shared hint window (null while no manager exists).
TdxBarHintWindow* dxBarHintWindow();

// ---------------------------------------------------------------- popup menus

// A context menu built from links: it opens a menu window at a screen point
// and runs until the window closes (a button's drop-down returns at once).
class TdxBarPopupMenu : public TComponent {
 public:
  // "There are no TdxBarManagers available" when there is no manager.
  explicit TdxBarPopupMenu(TComponent* owner);
  ~TdxBarPopupMenu() override;
  TdxBarManager* BarManager() const { return manager_; }
  void SetBarManager(TdxBarManager* value);
  // The width of the side band OnPaintBar paints; below 0 is 0.
  int BarSize() const { return barSize_; }
  void SetBarSize(int value) { barSize_ = value < 0 ? 0 : value; }
  // The menu's own font; changing it switches UseOwnFont on.
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  bool UseOwnFont() const { return useOwnFont_; }
  void SetUseOwnFont(bool value);
  HFONT FontHandle() const { return fontHandle_; }
  // The manager's font changed: a menu without its own font takes it.
  void ManagerFontChanged();
  TdxBarItemLinks* ItemLinks() const { return itemLinks_; }
  bool UseRecentItems() const { return useRecentItems_; }
  void SetUseRecentItems(bool value);
  // The menu window that shows the links (none until it opens).
  TdxBarSubMenuControl* SubMenuControl() const;
  // Open between the window's popup and close-up notifications.
  bool Shown() const { return shown_; }

  TNotifyEvent OnCloseUp;
  TdxBarPaintSubMenuBarEvent OnPaintBar;
  TNotifyEvent OnPopup;
  virtual void DoPaintBar(TCanvas* canvas, const TRect& r);

  // Opens the menu at a screen point and returns when it closes; nothing
  // while it is open already.
  void Popup(int x, int y);
  // Popup with the opener's extent along a flip, whether it animates and
  // the rectangle its shadow leaves out.
  void PopupEx(int x, int y, int ownerWidth, int ownerHeight, bool animate, const TRect* exclusion);
  void PopupFromCursorPos();
  // Runs the entry with this shortcut.
  bool IsShortCut(TShortCut shortCut);
  // Set while a drop-down button opens the menu: Popup returns at once.
  void SetDropDownMode(bool value) { dropDown_ = value; }

 protected:
  void Loaded() override;

 private:
  void FontChanged(TObject* sender);
  void MenuPopup(TObject* sender);
  void MenuCloseUp(TObject* sender);
  bool dropDown_ = false;
  TdxBarManager* manager_ = nullptr;
  int barSize_ = 0;
  HFONT fontHandle_ = nullptr;
  TOwned<TFont> font_;
  bool fontChanging_ = false;
  TdxBarItemLinks* itemLinks_ = nullptr;
  TRect exclusion_;
  bool hasExclusion_ = false;
  int ownerWidth_ = 0, ownerHeight_ = 0;
  bool shown_ = false;
  bool animate_ = true;
  bool useOwnFont_ = false;
  bool useRecentItems_ = false;
};

class TdxBarPopupMenuLink;
// Before a popup-menu link opens its menu: the point (mapped to the
// control; -1, -1 from the keyboard) and whether it may open.
using TdxBarPopupMenuLinkActionEvent = TEvent<TdxBarPopupMenuLink*, int&, int&, bool, bool&>;

// Binds a popup menu to a control of the manager's form: a right click,
// the Applications key or Shift+F10 opens it.
class TdxBarPopupMenuLink : public TObject {
 public:
  explicit TdxBarPopupMenuLink(TdxBarManager* manager) : manager_(manager) {}
  TdxBarManager* BarManager() const { return manager_; }
  TWinControl* Control() const { return control_; }
  // A control on another form than the manager's is replaced by none.
  void SetControl(TWinControl* value);
  TdxBarPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TdxBarPopupMenu* value);
  void Assign(TdxBarPopupMenuLink* source);
  TdxBarPopupMenuLinkActionEvent OnAction;
  // Runs the popup menu's entry with this shortcut.
  bool IsShortCut(TShortCut shortCut);
  // Opens the menu for wnd (a window of the control) at the screen point
  // pos, or at the caret ((0, 0) without one) for (-1, -1); true when the
  // input was taken.
  bool DoAction(HWND wnd, TPoint pos);

 private:
  TdxBarManager* manager_;
  TWinControl* control_ = nullptr;
  TdxBarPopupMenu* popupMenu_ = nullptr;
};

class TdxBarPopupMenuLinks : public TObject {
 public:
  explicit TdxBarPopupMenuLinks(TdxBarManager* manager) : manager_(manager) {}
  ~TdxBarPopupMenuLinks() override;
  TdxBarManager* BarManager() const { return manager_; }
  int Count() const { return static_cast<int>(links_.size()); }
  TdxBarPopupMenuLink* Items(int index) const;
  TdxBarPopupMenuLink* Add();
  void Clear();
  // The links of the control, in order, until one takes the input.
  bool IsShortCut(TWinControl* control, TShortCut shortCut);
  bool DoAction(TWinControl* control, HWND wnd, TPoint pos);

 private:
  TdxBarManager* manager_;
  std::vector<TdxBarPopupMenuLink*> links_;
};

// ---------------------------------------------------------------- items

class TdxBarItemActionLink : public TActionLink {
 public:
  explicit TdxBarItemActionLink(TdxBarItem* client);
  TdxBarItem* Item() const { return item_; }
  bool IsCaptionLinked() const override;
  bool IsCheckedLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHelpContextLinked() const override;
  bool IsHintLinked() const override;
  bool IsImageIndexLinked() const override;
  bool IsShortCutLinked() const override;
  bool IsVisibleLinked() const override;
  bool IsOnExecuteLinked() const override;
  void SetCaption(const String& value) override;
  void SetChecked(bool value) override;
  void SetEnabled(bool value) override;
  void SetHelpContext(int value) override;
  void SetHint(const String& value) override;
  void SetImageIndex(int value) override;
  void SetShortCut(TShortCut value) override;
  void SetVisible(bool value) override;

 private:
  TdxBarItem* item_;
};

// A command: caption, glyph, shortcut, state, category and a click.
class TdxBarItem : public TComponent {
 public:
  explicit TdxBarItem(TComponent* owner);
  ~TdxBarItem() override;
  // OnDestroy fires before anything of the item goes.
  void BeforeDestruction() override;
  DX_BAR_ITEM_CLASS();

  TBasicAction* Action() const;
  void SetAction(TBasicAction* value);
  TdxBarItemActionLink* ActionLink() const { return actionLink_; }
  TdxBarItemAlign Align() const { return align_; }
  void SetAlign(TdxBarItemAlign value);
  TdxBarManager* BarManager() const { return manager_; }
  const String& Caption() const { return caption_; }
  void SetCaption(const String& value);
  int Category() const { return category_; }
  void SetCategory(int value);
  const String& Description() const { return description_; }
  void SetDescription(const String& value);
  // The stored value, except that an item with a category reads as enabled
  // while the manager customizes.
  bool Enabled() const;
  bool StoredEnabled() const { return enabled_; }
  void SetEnabled(bool value);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* value);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  int LinkCount() const { return static_cast<int>(links_.size()); }
  TdxBarItemLink* Links(int index) const;
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  bool UnclickAfterDoing() const { return unclickAfterDoing_; }
  void SetUnclickAfterDoing(bool value) { unclickAfterDoing_ = value; }
  TdxBarItemVisible Visible() const { return visible_; }
  // The value read for Visible while loading (applied by the manager).
  TdxBarItemVisible LoadedVisible() const { return loadedVisible_; }
  void SetVisible(TdxBarItemVisible value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDestroy;

  bool ActuallyVisible() const;
  bool VisibleForUser() const;
  TdxBarItemLink* CurItemLink() const;
  // The link whose control is carrying out a click of the item (none
  // outside a click).
  TdxBarItemLink* ClickItemLink() const { return clickItemLink_; }
  void SetClickItemLink(TdxBarItemLink* link) { clickItemLink_ = link; }
  int Index() const;
  bool Flat() const;
  bool HasControls() const;
  // The caption without its first "&" and then its first "...".
  String GetHintFromCaption() const;

  virtual void BarManagerChanged() {}
  virtual bool CanClicked() const { return true; }
  virtual void CaptionChanged();
  virtual void EnabledChanged();
  virtual bool GetHidden() const { return false; }
  virtual void GlyphChanged();
  virtual bool HasAccel(TdxBarItemLink* link) const { return Enabled(); }
  virtual void HideControl(TdxBarItemControl* control) {}
  virtual void HotGlyphChanged() {}
  virtual void LargeGlyphChanged() {}
  virtual bool NeedToBeHidden() const { return false; }
  virtual void ObjectNotification(TComponent* component, TOperation operation) {}
  virtual void ShortCutChanged();
  // Repaints every control of the links (the selected control of the active
  // bar window excepted); UpdateEx repaints their whole bars.
  virtual void Update();
  virtual void UpdateEx();
  virtual bool UseHotImages() const { return false; }
  virtual bool UseLargeImages() const { return false; }
  virtual void VisibleChanged();

  virtual void Click();
  virtual void DirectClick();
  TComponent* GetParentComponent() const;
  bool HasParent() const { return category_ > -1; }
  void SetParentComponent(TComponent* value);
  void SetName(const String& name) override;
  // Applies the action's values: each only when checkDefaults is off or the
  // item's value is still the default.
  virtual void ActionChange(TObject* sender, bool checkDefaults);

 protected:
  friend class TdxBarItemLink;
  friend class TdxBarItemActionLink;
  friend class TdxBarManager;
  friend class TdxBarManagerCategories;
  virtual TdxBarItemActionLink* CreateActionLink();
  virtual void AlignChanged();
  virtual void DoClick();
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void AssignTo(TPersistent* dest) override;
  // The loading test of the setters that the manager's Loaded applies: the
  // manager's loading (the item's own without a manager).
  bool ManagerLoading() const;

  TdxBarItemActionLink* actionLink_ = nullptr;
  TdxBarItemAlign align_ = iaLeft;
  TdxBarManager* manager_ = nullptr;
  String caption_;
  int category_ = -1;
  String description_;
  bool enabled_ = true;
  TOwned<TBitmap> glyph_;
  int helpContext_ = 0;
  String hint_;
  int imageIndex_ = -1;
  std::vector<TdxBarItemLink*> links_;
  TdxBarItemVisible loadedVisible_ = ivAlways;
  TShortCut shortCut_ = 0;
  bool unclickAfterDoing_ = false;
  TdxBarItemVisible visible_ = ivAlways;
  TdxBarItemLink* clickItemLink_ = nullptr;

 private:
  void DoActionChange(TObject* sender);
  void GlyphObjectChanged(TObject*) { GlyphChanged(); }
};

class TdxBarButton : public TdxBarItem {
 public:
  explicit TdxBarButton(TComponent* owner);
  ~TdxBarButton() override;
  DX_BAR_ITEM_CLASS();

  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  TdxBarButtonStyle ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TdxBarButtonStyle value);
  bool CloseSubMenuOnClick() const { return closeSubMenuOnClick_; }
  void SetCloseSubMenuOnClick(bool value) { closeSubMenuOnClick_ = value; }
  bool DropDownEnabled() const { return dropDownEnabled_; }
  void SetDropDownEnabled(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  bool Down() const { return down_; }
  void SetDown(bool value);
  TdxBarPopupMenu* DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(TdxBarPopupMenu* value);
  bool Lowered() const { return lowered_; }
  void SetLowered(bool value);
  TdxBarPaintStyle PaintStyle() const { return paintStyle_; }
  void SetPaintStyle(TdxBarPaintStyle value);

  void Click() override;
  bool HasAccel(TdxBarItemLink* link) const override;
  virtual void ButtonStyleChanged();
  virtual bool CanChangePaintStyle() const { return true; }
  virtual void DownChanged();
  virtual void DropDownEnabledChanged();
  virtual void PaintStyleChanged();
  // Opens the drop-down menu of a bsDropDown button under its control.
  void DoDropDown(TdxBarItemControl* control, int x, int y, bool byMouse);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool allowAllUp_ = false;
  TdxBarButtonStyle buttonStyle_ = bsDefault;
  bool closeSubMenuOnClick_ = true;
  bool dropDownEnabled_ = true;
  int groupIndex_ = 0;
  bool down_ = false;
  TdxBarPopupMenu* dropDownMenu_ = nullptr;
  bool lowered_ = false;
  TdxBarPaintStyle paintStyle_ = psStandard;
};

// ---------------------------------------------------------------- links

// One placement of an item on a bar, a menu or a popup menu.
class TdxBarItemLink : public TPersistent {
 public:
  // Made by TdxBarItemLinks::Add.
  explicit TdxBarItemLink(TdxBarItemLinks* owner);
  // Leaves its list, its item and the recent list.
  ~TdxBarItemLink() override;

  TdxBarItemLinks* Owner() const { return owner_; }
  int Index() const;
  void SetIndex(int value);
  // The effective flag; StoredBeginGroup is the one set.
  bool BeginGroup() const;
  bool StoredBeginGroup() const { return beginGroup_; }
  void SetBeginGroup(bool value);
  TdxBarItemControl* Control() const { return control_; }
  TdxBarItem* Item() const { return item_; }
  // Nil destroys the link; an item a sub item cannot hold raises "You
  // cannot create recursive subitems" and leaves the link without item.
  void SetItem(TdxBarItem* value);
  const TRect& ItemRect() const { return itemRect_; }
  void SetItemRect(const TRect& r) { itemRect_ = r; }
  // Cross size of the line the link lies in on its bar.
  int LineCrossSize() const { return lineCrossSize_; }
  void SetLineCrossSize(int value) { lineCrossSize_ = value; }
  bool MostRecentlyUsed() const { return mostRecentlyUsed_; }
  void SetMostRecentlyUsed(bool value);
  TdxBarItemLink* RealItemLink() { return realItemLink_ ? realItemLink_ : this; }
  void SetRealItemLink(TdxBarItemLink* link) { realItemLink_ = link; }
  int UseCount() const { return useCount_; }
  void SetUseCount(int value) { useCount_ = value; }
  const String& UserCaption() const { return userCaption_; }
  void SetUserCaption(const String& value);
  TdxBarUserDefines UserDefine() const { return userDefine_; }
  void SetUserDefine(TdxBarUserDefines value);
  TBitmap* UserGlyph() const { return userGlyph_.get(); }
  void SetUserGlyph(TBitmap* value);
  TdxBarPaintStyle UserPaintStyle() const { return userPaintStyle_; }
  void SetUserPaintStyle(TdxBarPaintStyle value);
  int UserWidth() const { return userWidth_; }
  void SetUserWidth(int value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  // Written by the layout reader, applied by the list's Loaded.
  int LoadedRecentIndex = -1;
  int LoadedUseCount = 0;
  bool LoadedVisible = true;

  String Caption() const;
  TBitmap* Glyph() const;
  TdxBarPaintStyle PaintStyle() const;
  int Width() const;
  TCustomdxBarControl* BarControl() const;
  TdxBarManager* BarManager() const;
  int AvailableIndex() const;
  int CanVisibleIndex() const;
  int VisibleIndex() const;
  int RecentIndex() const;
  // Capped to the recent list; without a list the value is kept as the
  // saved recent index.
  void SetRecentIndex(int value);
  void SaveRecentIndex() { savedRecentIndex_ = RecentIndex(); }
  void RestoreRecentIndex() { SetRecentIndex(savedRecentIndex_); }
  int SavedRecentIndex() const { return savedRecentIndex_; }
  bool CanVisible() const;

  void BringToTopInRecentList(bool incCount);
  void SendToBottomInRecentList();
  void CheckMostRecentlyUsed();
  void CreateControl();
  void DestroyControl();
  bool HasItem(TdxBarItem* item) const;
  void InitiateAction();
  bool IsAccel(WORD key, TShiftState shift) const;
  void Synchronize(TdxBarItemLink* link);
  void ItemLinkChanged();
  void Assign(TPersistent* source) override;

 private:
  friend class TdxBarItemLinks;
  friend class TdxBarItem;
  void InternalBringToTopInRecentList(bool incCount);
  void PostRepaintIfDocked();

  TdxBarItemLinks* owner_;
  bool beginGroup_ = false;
  TdxBarItemControl* control_ = nullptr;
  TdxBarItem* item_ = nullptr;
  TRect itemRect_;
  int lineCrossSize_ = 0;
  bool mostRecentlyUsed_ = true;
  TdxBarItemLink* realItemLink_ = nullptr;
  int savedRecentIndex_ = -1;
  int useCount_ = 0;
  String userCaption_;
  TdxBarUserDefines userDefine_;
  TOwned<TBitmap> userGlyph_;
  TdxBarPaintStyle userPaintStyle_ = psStandard;
  int userWidth_ = 0;
  bool visible_ = true;
  bool destroying_ = false;
};

// The links of one owner (a bar, a sub item, a popup menu or an internal
// popup), with the lists the bar windows draw: available (items actually
// visible), can-visible (links shown) and visible (after the recent-items
// filter).
class TdxBarItemLinks : public TPersistent {
 public:
  TdxBarItemLinks(TdxBarManager* manager, TObject* owner);
  ~TdxBarItemLinks() override;

  int Count() const { return static_cast<int>(items_.size()); }
  // Null outside 0..Count-1.
  TdxBarItemLink* Items(int index) const;
  TdxBarItemLink* Add();
  void Clear();
  int IndexOf(const TdxBarItemLink* link) const;
  int AvailableIndexOf(const TdxBarItemLink* link) const;
  int CanVisibleIndexOf(const TdxBarItemLink* link) const;
  int VisibleIndexOf(const TdxBarItemLink* link) const;
  int AvailableItemCount() const { return static_cast<int>(available_.size()); }
  TdxBarItemLink* AvailableItems(int index) const;
  int CanVisibleItemCount() const { return static_cast<int>(canVisible_.size()); }
  TdxBarItemLink* CanVisibleItems(int index) const;
  int VisibleItemCount() const { return static_cast<int>(visible_.size()); }
  TdxBarItemLink* VisibleItems(int index) const;
  // Most recent first.
  int RecentItemCountInList() const { return static_cast<int>(recent_.size()); }
  TdxBarItemLink* RecentItems(int index) const;

  TCustomdxBarControl* BarControl() const { return barControl_; }
  void CreateBarControl();
  // Frees the window (not while it is being destroyed).
  void DestroyBarControl();
  // A window made by its opener (a container item's menu) shows the links.
  void SetBarControl(TCustomdxBarControl* barControl) { barControl_ = barControl; }
  // The window is going by other means: it is forgotten.
  void BarControlDestroyed(TCustomdxBarControl* barControl) {
    if (barControl_ == barControl) barControl_ = nullptr;
  }
  TdxBarManager* BarManager() const { return manager_; }
  void SetBarManager(TdxBarManager* manager) { manager_ = manager; }
  TObject* Owner() const { return owner_; }
  int RecentItemCount() const { return recentItemCount_; }
  void SetRecentItemCount(int value);
  void RestoreRecentItemCount();
  bool UseRecentItems() const { return useRecentItems_; }
  void SetUseRecentItems(bool value) { useRecentItems_ = value; }
  bool Assigning() const { return assigning_; }
  // Links of the program's own popups are not design-time links.
  bool DesignTimeLinks() const;

  void Assign(TPersistent* source) override;
  void Loaded(bool setVisibles);
  void AssignUsageData(TdxBarItemLinks* source);
  bool IsShortCut(TShortCut shortCut);
  TdxBarItemLink* FindItemWithAccel(WORD key, TShiftState shift, TdxBarItemLink* current);
  TdxBarItemLink* First();
  TdxBarItemLink* Last();
  TdxBarItemLink* Next(TdxBarItemLink* current);
  TdxBarItemLink* Prev(TdxBarItemLink* current);
  bool CanUseRecentItems() const;
  int GetMostRecentItemCount();
  int RealVisibleItemCount();
  bool HasItem(TdxBarItem* item) const;
  void InitiateActions();
  void EmptyItemRects();
  void FreeForeignItems(TdxBarManager* manager);
  void RefreshVisibilityLists();
  void CheckVisibleIntegrity();
  // The collection changed: designer, derived lists, OnChange.
  void Update();

  TNotifyEvent OnChange;

 private:
  friend class TdxBarItemLink;
  bool IsBarOwner() const;
  TdxBarManager* manager_;
  TObject* owner_;
  bool assigning_ = false;
  std::vector<TdxBarItemLink*> items_, available_, canVisible_, visible_, recent_;
  TCustomdxBarControl* barControl_ = nullptr;
  int savedRecentItemCount_ = -1;
  int recentItemCount_ = -1;
  bool useRecentItems_ = true;
};

// ---------------------------------------------------------------- bars

// A toolbar or the main menu bar; its window exists while it is shown.
class TdxBar : public TPersistent {
 public:
  // Made by TdxBars::Add.
  explicit TdxBar(TdxBars* bars);
  ~TdxBar() override;

  TdxBars* Bars() const { return bars_; }
  int Index() const;
  TdxBarManager* BarManager() const;
  TdxBarControl* Control() const;

  bool AllowClose() const { return allowClose_; }
  void SetAllowClose(bool value);
  bool AllowCustomizing() const { return allowCustomizing_; }
  void SetAllowCustomizing(bool value) { allowCustomizing_ = value; }
  bool AllowQuickCustomizing() const { return allowQuickCustomizing_; }
  void SetAllowQuickCustomizing(bool value);
  bool AllowReset() const { return allowReset_; }
  void SetAllowReset(bool value) { allowReset_ = value; }
  TdxBarBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TdxBarBorderStyle value);
  const String& Caption() const { return caption_; }
  // A caption another bar of the manager has is ignored.
  void SetCaption(const String& value);
  TdxBarDockControl* DockControl() const { return dockControl_; }
  void SetDockControl(TdxBarDockControl* value);
  TdxBarDockControl* DockedDockControl() const { return dockedDockControl_; }
  void SetDockedDockControl(TdxBarDockControl* value);
  TdxBarDockingStyle DockedDockingStyle() const;
  void SetDockedDockingStyle(TdxBarDockingStyle value);
  int DockedLeft() const { return dockedLeft_; }
  void SetDockedLeft(int value);
  int DockedTop() const { return dockedTop_; }
  void SetDockedTop(int value);
  TdxBarDockingStyle DockingStyle() const;
  void SetDockingStyle(TdxBarDockingStyle value);
  int FloatLeft() const { return floatLeft_; }
  void SetFloatLeft(int value);
  int FloatTop() const { return floatTop_; }
  void SetFloatTop(int value);
  int FloatClientWidth() const { return floatClientWidth_; }
  void SetFloatClientWidth(int value);
  int FloatClientHeight() const { return floatClientHeight_; }
  void SetFloatClientHeight(int value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* value);
  bool Hidden() const { return hidden_; }
  void SetHidden(bool value);
  bool IsMainMenu() const { return isMainMenu_; }
  void SetIsMainMenu(bool value);
  TdxBarItemLinks* ItemLinks() const { return itemLinks_; }
  void SetItemLinks(TdxBarItemLinks* value);
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool value);
  const String& Name() const { return name_; }
  void SetName(const String& value) { name_ = value; }
  TdxBarDockingStyles NotDocking() const { return notDocking_; }
  void SetNotDocking(TdxBarDockingStyles value) { notDocking_ = value; }
  bool OneOnRow() const { return oneOnRow_; }
  void SetOneOnRow(bool value) { oneOnRow_ = value; }
  bool RotateWhenVertical() const { return rotateWhenVertical_; }
  void SetRotateWhenVertical(bool value);
  int Row() const { return row_; }
  void SetRow(int value);
  bool ShowMark() const { return showMark_; }
  void SetShowMark(bool value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  bool UseOwnFont() const { return useOwnFont_; }
  void SetUseOwnFont(bool value);
  bool UseRecentItems() const { return useRecentItems_; }
  void SetUseRecentItems(bool value);
  bool UseRestSpace() const { return useRestSpace_; }
  void SetUseRestSpace(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool WholeRow() const { return wholeRow_; }
  void SetWholeRow(bool value);
  // A bar the library makes for a window of its own; the saved layout
  // leaves it out.
  bool Internal() const { return internal_; }
  void SetInternal(bool value) { internal_ = value; }

  // The dock site the bar is in: DockControl, else the built-in one of its
  // style (none when floating).
  TdxDockControl* RealDockControl() const;
  // Values written while the manager loads, applied by its Loaded.
  TdxBarDockControl* LoadedDockControl() const { return loadedDockControl_; }
  TdxBarDockingStyle LoadedDockingStyle() const { return loadedDockingStyle_; }
  bool LoadedVisible() const { return loadedVisible_; }
  // Set for every bar present when the manager finished loading.
  bool LoadedWithForm() const { return loaded_; }
  // The bar was docked at some time (a floating bar that never was docks
  // in a new row at the top).
  bool EverDocked() const { return everDocked_; }
  void SetEverDocked(bool value) { everDocked_ = value; }
  bool AutoHidden() const { return autoHidden_; }
  bool Closed() const { return closed_; }
  bool LockUpdate() const { return lockUpdate_; }
  void SetLockUpdate(bool value);
  bool FontChanging() const { return fontChanging_; }

  bool IsStatusBar() const;
  bool HasSizeGrip() const;
  int BarNCSizeX(TdxBarDockingStyle style) const;
  int BarNCSizeY(TdxBarDockingStyle style) const;
  bool CanClose() const;
  bool CanReset() const;
  bool IsShortCut(TShortCut shortCut);
  void AddFreeNotification(TCustomdxBarSubItem* subItem);
  void RemoveFreeNotification(TCustomdxBarSubItem* subItem);
  void ChangeDockingStyle(TdxBarDockingStyle style, TdxDockControl* dockControl);
  void Assign(TPersistent* source) override;
  // Back to the bar as the form defines it.
  void Reset();
  void ResetWithConfirmation();
  void ResetToolbarClick(TObject* sender);

 private:
  friend class TdxBarManager;
  friend class TdxBars;
  friend class TdxBarControl;
  void Show();
  void Hide();
  void DesignerModified();
  void DockingStyleChanged();

  TdxBars* bars_;
  bool allowClose_ = true;
  bool allowCustomizing_ = true;
  bool allowQuickCustomizing_ = true;
  bool allowReset_ = true;
  TdxBarBorderStyle borderStyle_ = bbsSingle;
  String caption_;
  bool internalDocking_ = false;
  TdxBarDockControl* dockControl_ = nullptr;
  TdxBarDockControl* dockedDockControl_ = nullptr;
  TdxBarDockingStyle dockedDockingStyle_ = dsTop;
  int dockedLeft_ = 0;
  int dockedTop_ = 0;
  TdxBarDockingStyle dockingStyle_ = dsTop;
  HFONT fontHandle_ = nullptr;
  int floatLeft_ = 0;
  int floatTop_ = 0;
  int floatClientWidth_ = 0;
  int floatClientHeight_ = 0;
  TOwned<TFont> font_;
  std::vector<TCustomdxBarSubItem*> freeNotifications_;
  bool hidden_ = false;
  bool fontChanging_ = false;
  bool closed_ = false;
  bool isMainMenu_ = false;
  bool loaded_ = false;
  bool autoHidden_ = false;
  TdxBarItemLinks* itemLinks_ = nullptr;
  TdxBarDockControl* loadedDockControl_ = nullptr;
  TdxBarDockingStyle loadedDockingStyle_ = dsTop;
  bool loadedVisible_ = false;
  bool lockUpdate_ = false;
  String name_;
  TdxBarDockingStyles notDocking_;
  bool multiLine_ = false;
  bool oneOnRow_ = false;
  bool rotateWhenVertical_ = true;
  int row_ = 0;
  bool showMark_ = true;
  bool sizeGrip_ = true;
  bool useOwnFont_ = false;
  bool useRecentItems_ = true;
  bool useRestSpace_ = false;
  bool visible_ = false;
  bool wholeRow_ = false;
  bool internal_ = false;
  bool everDocked_ = false;
};

// The bars of a manager, with the four built-in dock sites and the loop that
// moves a bar with the mouse.
class TdxBars : public TPersistent {
  friend class TdxBar;

 public:
  explicit TdxBars(TdxBarManager* manager);
  ~TdxBars() override;
  TdxBarManager* BarManager() const { return manager_; }
  int Count() const { return static_cast<int>(bars_.size()); }
  // Null outside 0..Count-1.
  TdxBar* Items(int index) const;
  TdxBar* Add();
  void Delete(int index);
  int IndexOf(const TdxBar* bar) const;
  void Assign(TPersistent* source) override;
  // A built-in dock site (none for dsNone).
  TdxDockControl* GetDockControl(TdxBarDockingStyle style) const;
  // Set while the manager loads or reads a saved layout.
  bool Restoring() const { return restoring_; }
  void SetRestoring(bool value) { restoring_ = value; }
  bool IsMoving() const { return moving_; }
  TdxBarControl* MovingBarControl() const { return movingBarControl_; }
  void SetMovingBarControl(TdxBarControl* control) { movingBarControl_ = control; }
  TdxBarDockingStyle MovingStartStyle() const { return movingStartStyle_; }
  TPoint DragOffset() const { return dragOffset_; }
  TPoint CursorOffset() const { return cursorOffset_; }
  // The built-in sites forget a removed one.
  void ForgetDockControl(TdxDockControl* dockControl);

  void RegInDock(TdxBarDockingStyle style, TdxDockControl* dockControl, TdxBarControl* barControl, TPoint p);
  void UnregFromDock(TdxBarDockingStyle style, TdxDockControl* dockControl, TdxBarControl* barControl);
  String GetUniqueToolbarName(const String& baseName) const;
  bool GetDockingStyleAtPos(TdxBar* bar, TPoint p, TdxBarDockingStyle& style, TdxDockControl*& dockControl);
  void ChangeBarControlPos(TdxBarControl* barControl, TPoint p, bool fromTimer = false);
  // The modal loop: the bar follows the mouse until the button is released,
  // Escape is pressed or the capture is lost.
  void Moving(TdxBarControl* barControl);
  // The docking delay of the moved bar elapsed.
  void DockingTimerElapsed();

 private:
  TdxBarManager* manager_;
  std::vector<TdxBar*> bars_;
  std::array<TdxDockControl*, 5> dockControls_{};
  bool inTimer_ = false;
  bool restoring_ = false;
  bool moving_ = false;
  TdxBarControl* movingBarControl_ = nullptr;
  TdxBarDockingStyle movingStartStyle_ = dsNone;
  TPoint dragOffset_;
  TPoint cursorOffset_;
};

// ---------------------------------------------------------------- sub items

// An item that opens a menu: its links are the menu's content.
class TCustomdxBarSubItem : public TdxBarItem {
 public:
  explicit TCustomdxBarSubItem(TComponent* owner);
  ~TCustomdxBarSubItem() override;

  int BarSize() const { return barSize_; }
  void SetBarSize(int value) { barSize_ = value < 0 ? 0 : value; }
  bool Detachable() const { return detachable_; }
  void SetDetachable(bool value) { detachable_ = value; }
  int DetachingBar() const;
  void SetDetachingBar(int value);
  TdxBarItemLinks* ItemLinks() const { return itemLinks_; }
  void SetItemLinks(TdxBarItemLinks* value);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool value);

  TNotifyEvent OnCloseUp;
  TNotifyEvent OnDetaching;
  TdxBarPaintSubMenuBarEvent OnPaintBar;
  TNotifyEvent OnPopup;

  bool CanClicked() const override { return false; }
  bool IsShortCut(TShortCut shortCut);
  // False for itself, for a sub item whose links hold it at any depth and
  // for a button whose drop-down menu does.
  bool CanContainItem(TdxBarItem* item) const;
  void BarManagerChanged() override;
  void ObjectNotification(TComponent* component, TOperation operation) override;
  // The detaching bar is going.
  void BarRemoved(TdxBar* bar);
  virtual void DoPaintBar(TCanvas* canvas, const TRect& r);
  virtual bool HasDesignTimeLinks() const { return true; }
  virtual void DoCloseUp();
  virtual void DoDetaching();
  virtual void DoPopup();

 protected:
  int barSize_ = 0;
  bool detachable_ = false;
  TdxBar* detachingBar_ = nullptr;
  TdxBarItemLinks* itemLinks_ = nullptr;
  bool showCaption_ = true;
};

class TdxBarSubItem : public TCustomdxBarSubItem {
 public:
  explicit TdxBarSubItem(TComponent* owner) : TCustomdxBarSubItem(owner) {}
  DX_BAR_ITEM_CLASS();
  bool AllowCustomizing() const { return allowCustomizing_; }
  void SetAllowCustomizing(bool value) { allowCustomizing_ = value; }

 private:
  bool allowCustomizing_ = true;
};

// A sub item whose menu entries are generated when a menu shows it.
class TCustomdxBarContainerItem : public TCustomdxBarSubItem {
 public:
  explicit TCustomdxBarContainerItem(TComponent* owner) : TCustomdxBarSubItem(owner) {}
  ~TCustomdxBarContainerItem() override;
  TNotifyEvent OnGetData;
  // Inserts the generated links into target at index; first: the menu is
  // being built (the data is asked for first).
  virtual void AddListedItemLinks(TdxBarItemLinks* target, int index, bool first, TdxBarItemLink* ownLink);
  virtual void DeleteListedItemLinks(TdxBarItemLinks* target, int index) {}
  virtual void ClearItemList() { needClear_ = false; }
  virtual bool HideWhenRun() const { return true; }
  void NeedClearItemList() { needClear_ = true; }
  bool ClearPending() const { return needClear_; }

 private:
  bool needClear_ = false;
};

// Turns a list of strings into numbered, optionally checked menu entries.
class TdxBarListItem : public TCustomdxBarContainerItem {
 public:
  explicit TdxBarListItem(TComponent* owner);
  ~TdxBarListItem() override;
  DX_BAR_ITEM_CLASS();

  // -1 unless 0 <= ItemIndex < entry count; else the data entries (not
  // separators) up to ItemIndex, minus 1. Readers check it against their data.
  int DataIndex() const;
  void SetDataIndex(int value);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int value) { itemIndex_ = value; }
  TStringList* Items() const { return items_.get(); }
  void SetItems(TStrings* value);
  bool ShowCheck() const { return showCheck_; }
  void SetShowCheck(bool value) { showCheck_ = value; }
  bool ShowNumbers() const { return showNumbers_; }
  void SetShowNumbers(bool value) { showNumbers_ = value; }
  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TdxBarButton* Buttons(int index) const;

  virtual String GetDisplayText(const String& text) const { return text; }
  void AddListedItemLinks(TdxBarItemLinks* target, int index, bool first, TdxBarItemLink* ownLink) override;
  void DeleteListedItemLinks(TdxBarItemLinks* target, int index) override;
  void ClearItemList() override;
  void DirectClick() override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  String EntryCaption(int entry, int number) const;
  void ButtonClick(TObject* sender);
  void FreeButtons();
  int itemIndex_ = -1;
  TComponent* buttonsOwner_ = nullptr;
  std::vector<TdxBarButton*> buttons_;
  TOwned<TStringList> items_;
  bool showCheck_ = false;
  bool showNumbers_ = true;
};

// Inserts copies of its own links into the menu that holds it.
class TdxBarContainerItem : public TCustomdxBarContainerItem {
 public:
  explicit TdxBarContainerItem(TComponent* owner) : TCustomdxBarContainerItem(owner) {}
  DX_BAR_ITEM_CLASS();
  void AddListedItemLinks(TdxBarItemLinks* target, int index, bool first, TdxBarItemLink* ownLink) override;
  void DeleteListedItemLinks(TdxBarItemLinks* target, int index) override;
};

// The system menu of a maximised MDI child at the start of the frame's main
// menu bar: its entries are read again from the child's system menu at
// each click.
class TSystemMenuSubItem : public TCustomdxBarSubItem {
 public:
  explicit TSystemMenuSubItem(TComponent* owner) : TCustomdxBarSubItem(owner) {}
  DX_BAR_ITEM_CLASS();
  HWND Wnd() const { return wnd_; }
  void SetWnd(HWND value) { wnd_ = value; }
  void DirectClick() override;
  // Fills the links from the window's system menu.
  void Rebuild();

 private:
  void Fill(TdxBarItemLinks* links, HMENU menu, int depth);
  void EntryClick(TObject* sender);
  HWND wnd_ = nullptr;
};

// ---------------------------------------------------------------- manager

class TdxBarManager : public TComponent {
 public:
  // "TdxBarManager should have as its Owner - TForm (TCustomForm)" without a
  // form (and without the application's main form to fall back on); "A
  // Form should contain only a single TdxBarManager" for a second one.
  explicit TdxBarManager(TComponent* owner);
  ~TdxBarManager() override;

  // Published properties.
  bool AllowCallFromAnotherForm() const { return allowCallFromAnotherForm_; }
  void SetAllowCallFromAnotherForm(bool value) { allowCallFromAnotherForm_ = value; }
  bool AllowReset() const { return allowReset_; }
  void SetAllowReset(bool value) { allowReset_ = value; }
  bool AlwaysMerge() const { return alwaysMerge_; }
  void SetAlwaysMerge(bool value) { alwaysMerge_ = value; }
  bool AlwaysSaveText() const { return alwaysSaveText_; }
  void SetAlwaysSaveText(bool value) { alwaysSaveText_ = value; }
  bool AutoDockColor() const { return autoDockColor_; }
  void SetAutoDockColor(bool value);
  bool AutoHideEmptyBars() const { return autoHideEmptyBars_; }
  void SetAutoHideEmptyBars(bool value);
  bool Scaled() const { return scaled_; }
  void SetScaled(bool value);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  TdxBars* Bars() const { return bars_; }
  void SetBars(TdxBars* value) { bars_->Assign(value); }
  int ButtonArrowWidth() const { return buttonArrowWidth_; }
  void SetButtonArrowWidth(int value);
  bool CanCustomize() const { return canCustomize_; }
  void SetCanCustomize(bool value) { canCustomize_ = value; }
  TdxBarManagerCategories* Categories() const { return categories_; }
  void SetCategories(TStrings* value);
  TColor DockColor() const;
  void SetDockColor(TColor value);
  bool FlatCloseButton() const { return flatCloseButton_; }
  void SetFlatCloseButton(bool value);
  TBitmap* HelpButtonGlyph() const { return helpButtonGlyph_.get(); }
  void SetHelpButtonGlyph(TBitmap* value) { helpButtonGlyph_->Assign(value); }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }
  bool HideFloatingBarsWhenInactive() const { return hideFloatingBarsWhenInactive_; }
  void SetHideFloatingBarsWhenInactive(bool value);
  TCustomImageList* HotImages() const { return hotImages_; }
  void SetHotImages(TCustomImageList* value);
  TColor ImageListBkColor() const { return imageListBkColor_; }
  void SetImageListBkColor(TColor value);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  const String& IniFileName() const { return iniFileName_; }
  void SetIniFileName(const String& value) { iniFileName_ = value; }
  TCustomImageList* LargeImages() const { return largeImages_; }
  void SetLargeImages(TCustomImageList* value);
  int LargeButtonArrowWidth() const { return largeButtonArrowWidth_; }
  void SetLargeButtonArrowWidth(int value);
  bool LargeIcons() const { return largeIcons_; }
  void SetLargeIcons(bool value);
  TdxBarMenuAnimations MenuAnimations() const { return menuAnimations_; }
  void SetMenuAnimations(TdxBarMenuAnimations value);
  bool MenusShowRecentItemsFirst() const { return menusShowRecentItemsFirst_; }
  void SetMenusShowRecentItemsFirst(bool value);
  int MostRecentItemsPercents() const { return mostRecentItemsPercents_; }
  void SetMostRecentItemsPercents(int value);
  TdxBarDockingStyles NotDocking() const { return notDocking_; }
  void SetNotDocking(TdxBarDockingStyles value) { notDocking_ = value; }
  TdxBarPopupMenuLinks* PopupMenuLinks() const { return popupMenuLinks_; }
  const String& RegistryPath() const { return registryPath_; }
  void SetRegistryPath(const String& value) { registryPath_ = value; }
  bool ShowCloseButton() const { return showCloseButton_; }
  void SetShowCloseButton(bool value);
  bool ShowFullMenusAfterDelay() const { return showFullMenusAfterDelay_; }
  void SetShowFullMenusAfterDelay(bool value);
  bool ShowHelpButton() const { return showHelpButton_; }
  void SetShowHelpButton(bool value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ShowHintForDisabledItems() const { return showHintForDisabledItems_; }
  void SetShowHintForDisabledItems(bool value) { showHintForDisabledItems_ = value; }
  bool ShowShortCutInHint() const { return showShortCutInHint_; }
  void SetShowShortCutInHint(bool value);
  bool StoreInIniFile() const { return storeInIniFile_; }
  void SetStoreInIniFile(bool value) { storeInIniFile_ = value; }
  bool StoreInRegistry() const { return storeInRegistry_; }
  void SetStoreInRegistry(bool value) { storeInRegistry_ = value; }
  bool StretchGlyphs() const { return stretchGlyphs_; }
  void SetStretchGlyphs(bool value) { stretchGlyphs_ = value; }
  TdxBarManagerStyle Style() const { return style_; }
  void SetStyle(TdxBarManagerStyle value);
  bool SunkenBorder() const { return sunkenBorder_; }
  void SetSunkenBorder(bool value);
  bool UseF10ForMenu() const { return useF10ForMenu_; }
  void SetUseF10ForMenu(bool value) { useF10ForMenu_ = value; }
  bool UseFullReset() const { return useFullReset_; }
  void SetUseFullReset(bool value) { useFullReset_ = value; }
  bool UseSystemFont() const { return useSystemFont_; }
  void SetUseSystemFont(bool value);
  int WaitForDockingTime() const { return waitForDockingTime_; }
  void SetWaitForDockingTime(int value);
  // Left and right dock widths, top and bottom dock heights.
  std::array<int, 4> DockControlHeights() const;
  void SetDockControlHeights(const std::array<int, 4>& values);

  TdxBarEvent OnBarAdd;
  TdxBarEvent OnBarAfterReset;
  TdxBarEvent OnBarBeforeReset;
  TdxBarEvent OnBarClose;
  TdxBarEvent OnBarDelete;
  TdxBarEvent OnBarDockingStyleChange;
  TdxBarVisibleChangeEvent OnBarVisibleChange;
  TdxBarItemLinkEvent OnItemLinkAdd;
  TdxBarItemLinkEvent OnItemLinkChange;
  TdxBarItemLinkEvent OnItemLinkDelete;
  TNotifyEvent OnCloseButtonClick;
  TNotifyEvent OnHelpButtonClick;
  TNotifyEvent OnHideCustomizingForm;
  TNotifyEvent OnShowCustomizingForm;
  TdxBarCanDockingEvent OnDocking;
  TdxBarMenuMergeEvent OnMenuMerge;
  TdxBarShowPopupEvent OnShowCustomizingPopup;
  TdxBarShowPopupEvent OnShowToolbarsPopup;
  TdxBarClickItemEvent OnClickItem;

  // State.
  bool IsCustomizing() const { return customizing_ || designing_; }
  bool IsDesigning() const { return designing_; }
  bool Flat() const { return style_ == bmsFlat; }
  int RealLargeButtonArrowWidth() const { return largeButtonArrowWidth_ - (Flat() ? 1 : 0); }
  int DockControlCount() const { return static_cast<int>(dockControls_.size()); }
  TdxDockControl* DockControls(int index) const;
  TdxBarControl* MainMenuControl() const;
  bool CategoryVisible(int index) const;
  TdxBarItemVisible CategoryItemsVisible(int index) const;
  void SetCategoryVisible(int index, bool value);
  void SetCategoryItemsVisible(int index, TdxBarItemVisible value);
  COLORREF FlatToolbarsBorderColor() const;
  COLORREF FlatToolbarsColor() const;
  COLORREF FlatToolbarsDownedColor() const;
  COLORREF FlatToolbarsDownedSelColor() const;
  COLORREF FlatToolbarsSelColor() const;
  HBRUSH FlatToolbarsBorderBrush() const { return flatBrushes_[0]; }
  HBRUSH FlatToolbarsBrush() const { return flatBrushes_[1]; }
  HBRUSH FlatToolbarsDownedBrush() const { return flatBrushes_[2]; }
  HBRUSH FlatToolbarsDownedSelBrush() const { return flatBrushes_[3]; }
  HBRUSH FlatToolbarsSelBrush() const { return flatBrushes_[4]; }
  void CreateFlatToolbarsBrushes();
  void DestroyFlatToolbarsBrushes();
  int BorderSizeX() const { return GetSystemMetrics(SM_CXFRAME); }
  int BorderSizeY() const { return GetSystemMetrics(SM_CYFRAME); }
  int GripOffset() const { return gripOffset_; }
  int GripSize() const { return gripSize_; }
  int StyleIndent() const { return styleIndent_; }
  int GlyphSize() const { return glyphSize_; }
  int ButtonWidth() const { return buttonWidth_; }
  int ButtonHeight() const { return buttonHeight_; }
  int RealButtonArrowWidth() const { return realButtonArrowWidth_; }
  int MostRecentlyUsedUseCount() const { return mostRecentlyUsedUseCount_; }
  bool ShowRecentItemsFirst() const { return style_ != bmsStandard && menusShowRecentItemsFirst_; }
  bool StyleChanging() const { return styleChanging_; }
  bool MenuDetaching() const { return menuDetaching_; }
  void SetMenuDetaching(bool value) { menuDetaching_ = value; }
  bool Dragging() const { return dragging_; }
  // The item and link a customizing press may drag (none: no drag pending).
  void SetDraggingItem(TdxBarItem* item, TdxBarItemLink* link) {
    draggingItem_ = item;
    draggingItemLink_ = link;
  }
  // While customizing: drags a command (link: its placement, none for a
  // new one) onto bars and menus in a modal loop, then moves, copies,
  // inserts, deletes or changes the group start as the drop says.
  void DragAndDrop(TdxBarItem* item, TdxBarItemLink* link);
  // Draws the insertion mark at control, or erases it when drawn again.
  void DrawDraggingLine(TdxBarItemControl* control, bool inGroupArea, bool before, bool vertical);
  // Bars hidden because the window of their dock site or form was
  // destroyed; none until a dock site's window is destroyed.
  std::vector<TdxBar*>* BarsToRestore() const { return barsToRestore_.get(); }
  void CreateBarsToRestore() {
    if (!barsToRestore_) barsToRestore_.reset(new std::vector<TdxBar*>);
  }
  void FreeBarsToRestore() { barsToRestore_.reset(); }
  TdxBarItem* DraggingItem() const { return draggingItem_; }
  TdxBarItemLink* DraggingItemLink() const { return draggingItemLink_; }
  HFONT EditFontHandle() const { return editFontHandle_; }
  TCustomdxBarControl* FocusedBarControl() const { return focusedBarControl_; }
  void SetFocusedBarControl(TCustomdxBarControl* value) { focusedBarControl_ = value; }
  bool BarControlFocused() const { return focusedBarControl_ != nullptr; }
  int GroupCount() const { return static_cast<int>(groups_.size()); }
  TdxBarGroup* Groups(int index) const;
  int IndexOfGroup(const TdxBarGroup* group) const;
  void MoveGroup(int from, int to);
  int ItemCount() const { return static_cast<int>(items_.size()); }
  TdxBarItem* Items(int index) const;
  int IndexOfItem(const TdxBarItem* item) const;
  bool LockUpdate() const { return lockUpdate_; }
  void SetLockUpdate(bool value);
  TCustomForm* MainForm() const { return mainForm_; }
  TdxBar* MainMenuBar() const { return mainMenuBar_; }
  bool IsModified() const { return modified_; }
  TdxBarItemControl* SelectedItem() const { return selectedItem_; }
  void SetSelectedItem(TdxBarItemControl* value);
  // A control is going: it stops being selected or tracked, unpainted.
  void ItemControlDestroyed(TdxBarItemControl* control);
  // The control whose window hears WM_MOUSELEAVE when the application
  // deactivates.
  TdxBarItemControl* MouseTrackedItem() const { return mouseTrackedItem_; }
  void SetMouseTrackedItem(TdxBarItemControl* value) { mouseTrackedItem_ = value; }
  int ReadCount() const { return readCount_; }
  bool CanReset() const { return readCount_ == 1 && allowReset_; }

  // Operations.
  virtual void DoClickItem(TdxBarItem* item);
  virtual bool DoDocking(TdxBar* bar, TdxBarDockingStyle style, TdxDockControl* dockControl);
  virtual void DoBarAfterReset(TdxBar* bar);
  virtual void DoBarBeforeReset(TdxBar* bar);
  virtual void DoBarClose(TdxBar* bar);
  virtual void DoBarDockingStyleChanged(TdxBar* bar);
  virtual void DoCloseButtonClick();
  virtual void DoHelpButtonClick();
  virtual void DoShowCustomizingPopup(TdxBarItemLinks* links);
  virtual void DoShowToolbarsPopup(TdxBarItemLinks* links);
  TdxBar* BarByCaption(const String& caption) const;
  TdxBar* BarByName(const String& name) const;
  TdxBarItem* GetItemByName(const String& name) const;
  // "Form.Control" or "Control": the dock control of that name on the form
  // (the main form for a name alone); EConvertError for a component of
  // another kind.
  TdxBarDockControl* FindDockControl(const String& name) const;
  void GetAllItemsByCategory(int index, std::vector<TdxBarItem*>& list) const;
  void GetItemsByCategory(int index, std::vector<TdxBarItem*>& list) const;
  int GetCountByCategory(int index) const;
  TdxBarItem* GetItemByCategory(int category, int index) const;
  int GetCategoryRealIndex(int index) const;
  void MoveItem(int from, int to);
  void ExchangeItems(int a, int b);
  void AddDockControl(TdxDockControl* dockControl);
  void RemoveDockControl(TdxDockControl* dockControl);
  void AddGroup(TdxBarGroup* group);
  void RemoveGroup(TdxBarGroup* group);
  TdxBarGroup* CreateGroup();
  // The groups, then the items with a category, owned by root.
  std::vector<TComponent*> GetChildren(TComponent* root) const;
  // One more reading of the form (the definitions count theirs).
  void ReadState() { ++readCount_; }
  void SetName(const String& name) override;
  void DesignerModified();
  void UpdateItems(TdxBarItem* item);
  HWND GetWindowForMouseCapturing();
  // A hidden window the kept docked handle of a dragged bar waits under (a
  // child handle left without parent is weak under X11 window management).
  HWND ParkingWindow();
  void CreateToolbarsPopupList(TdxBarItemLinks* links);
  void AddCustomizeLink(TdxBarItemLinks* links, bool beginGroup, TdxBarItemClass itemClass);
  void ToolbarsPopupClick(TObject* sender);
  void ResetUsageData();
  void ResetUsageDataWithConfirmation();
  void HideAll();
  // A fresh copy of the main form's bars, made from its definition: a form
  // without owner, window or events; null without a definition or without
  // a manager of this name in it. The caller frees it.
  TCustomForm* LoadMainFormFromBin();
  // Enters or leaves customizing mode: the bar windows rebuild their
  // controls and the Customize window opens or closes.
  void Customizing(bool value);
  // Form and MDI integration: the messages of the manager's form and the
  // MDI activation messages of its children, handed on by the hooks.
  void MainFormWndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  void MainFormClientWndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // The active MDI child of the manager's MDI frame (0: none).
  HWND ActiveMDIChild();
  // Shows or hides the floating bars with the form's activation;
  // activatedWnd: the window that takes the activation.
  void ShowToolbars(bool show, bool force, HWND activatedWnd = nullptr);
  // Floating bars off the work area move back into it.
  void CheckToolbarsVisibility();
  bool FormActive() const { return formActive_; }
  // The window the form's messages last came on: a form's window that is
  // going is known by it once the form has let it go.
  HWND FormWindow() const { return formWindow_; }
  void SetFormWindow(HWND value) { formWindow_ = value; }
  HWND LastActiveMDIChild() const { return lastActiveMDIChild_; }
  bool MDIChildMaximized() const { return mdiChildMaximized_; }
  void LoadFromRegistry(const String& registryPath);
  void SaveToRegistry(const String& registryPath);
  void LoadFromIniFile(const String& fileName);
  void SaveToIniFile(const String& fileName);

  // Hints.
  void HintActivate(bool show, const String& text);
  void DisplayHint();

  // The item list, kept by the items.
  void AddItem(TdxBarItem* item);
  void RemoveItem(TdxBarItem* item);
  // The popup menus of the manager, kept by the menus.
  void AddPopupMenu(TdxBarPopupMenu* menu);
  void RemovePopupMenu(TdxBarPopupMenu* menu);
  int PopupMenuCount() const { return static_cast<int>(popupMenus_.size()); }

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TdxBars;
  friend class TdxBar;
  void CalcButtonsConsts();
  void CalcMostRecentlyUsedUseCount();
  void AssignFont();
  void FontChanged(TObject* sender);
  void HelpButtonGlyphChanged(TObject* sender);
  void ImageListChange(TObject* sender);
  void LargeImageListChange(TObject* sender);
  void HotImageListChange(TObject* sender);
  void ImagesChanged();
  void LargeImagesChanged();
  void HotImagesChanged();
  void SetImageList(TCustomImageList*& field, TChangeLink* link, TCustomImageList* value);
  void RepaintBars();
  void OptionsChanged();
  void DestroyItems();
  void RecolorDockControls();
  void SetMainMenuBar(TdxBar* bar) { mainMenuBar_ = bar; }
  void ApplyBarFonts();
  void Merge(HWND wnd, bool activate, bool skipMerge, bool keepLocked);
  void SetChildBarVisible(TdxBar* childBar, bool visible);
  void ShowHelp(HWND wnd, const HELPINFO* info);

  bool formActive_ = false;
  HWND formWindow_ = nullptr;
  bool showToolbarsBusy_ = false;
  HWND lastActiveMDIChild_ = nullptr;
  bool mdiChildMaximized_ = false;
  bool childBarVisible_ = false;

  bool constructionRefused_ = true;
  bool designing_ = false;
  bool menuDetaching_ = false;
  bool styleChanging_ = false;
  TColor dockColor_ = clBtnFace;
  std::vector<TdxDockControl*> dockControls_;
  bool dragging_ = false;
  TdxBarItem* draggingItem_ = nullptr;
  TdxBarItemLink* draggingItemLink_ = nullptr;
  HFONT editFontHandle_ = nullptr;
  bool updatingDocks_ = false;
  std::array<HBRUSH, 5> flatBrushes_{};
  TCustomdxBarControl* focusedBarControl_ = nullptr;
  std::vector<TdxBarGroup*> groups_;
  TOwned<TChangeLink> imagesChangeLink_, largeImagesChangeLink_, hotImagesChangeLink_;
  bool fontAssigning_ = false;
  bool customizing_ = false;
  std::vector<TdxBarItem*> items_;
  bool lockUpdate_ = false;
  TCustomForm* mainForm_ = nullptr;
  TdxBar* mainMenuBar_ = nullptr;
  bool modified_ = false;
  int mostRecentlyUsedUseCount_ = 0;
  std::vector<TdxBarPopupMenu*> popupMenus_;
  int readCount_ = 0;
  TdxBarItemControl* mouseTrackedItem_ = nullptr;
  TdxBarItemControl* selectedItem_ = nullptr;
  std::unique_ptr<std::vector<TdxBar*>> barsToRestore_;
  int gripOffset_ = 0, gripSize_ = 0, styleIndent_ = 0;
  int glyphSize_ = 0, buttonWidth_ = 0, buttonHeight_ = 0, realButtonArrowWidth_ = 0;

  bool allowCallFromAnotherForm_ = false;
  bool allowReset_ = false;
  bool alwaysMerge_ = false;
  bool alwaysSaveText_ = false;
  bool autoDockColor_ = false;
  bool autoHideEmptyBars_ = false;
  bool scaled_ = false;
  TOwned<TFont> font_;
  TdxBars* bars_ = nullptr;
  int buttonArrowWidth_ = 0;
  bool canCustomize_ = false;
  TdxBarManagerCategories* categories_ = nullptr;
  bool flatCloseButton_ = false;
  TOwned<TBitmap> helpButtonGlyph_;
  int helpContext_ = 0;
  bool hideFloatingBarsWhenInactive_ = false;
  TCustomImageList* hotImages_ = nullptr;
  TColor imageListBkColor_ = clFuchsia;
  TCustomImageList* images_ = nullptr;
  String iniFileName_;
  TCustomImageList* largeImages_ = nullptr;
  int largeButtonArrowWidth_ = 0;
  bool largeIcons_ = false;
  TdxBarMenuAnimations menuAnimations_ = maNone;
  bool menusShowRecentItemsFirst_ = false;
  int mostRecentItemsPercents_ = 0;
  TdxBarDockingStyles notDocking_;
  TdxBarPopupMenuLinks* popupMenuLinks_ = nullptr;
  String registryPath_;
  bool showCloseButton_ = false;
  bool showFullMenusAfterDelay_ = false;
  bool showHelpButton_ = false;
  bool showHint_ = false;
  bool showHintForDisabledItems_ = false;
  bool showShortCutInHint_ = false;
  bool storeInIniFile_ = false;
  bool storeInRegistry_ = false;
  bool stretchGlyphs_ = false;
  TdxBarManagerStyle style_ = bmsStandard;
  bool sunkenBorder_ = false;
  bool useF10ForMenu_ = false;
  bool useFullReset_ = false;
  bool useSystemFont_ = false;
  int waitForDockingTime_ = 0;
  HWND parkingWindow_ = nullptr;
};

// Set while a copy of a form is made from its definition: the copy's
// managers load no stored layout.
extern bool dxBarReadingFormCopy;
// Set while a bar is reset from a copy: links take the items of the same
// name on the manager's form.
extern bool dxBarRestoringFromForm;

// ---------------------------------------------------------------- Customize window notifications

// What the bars tell the Customize window; nothing while it does not exist.
void UpdateCustomizingBars();
void UpdateCustomizingBarItems();
void UpdateCustomizingBarItemsEx(TdxBarItem* item, bool reselect);
void FullUpdateCustomizingBarItems();
void UpdateCustomizingAllCommands();
void UpdateGroupItems();
void UpdateGroups();
void UpdateBarManagerOptions();
void UpdateHelpButton();
void HostBarManagerStyleChanged();
bool dxBarCustomizingFormExists();
// Opens or closes the Customize window of a manager entering or leaving
// customizing mode.
void dxBarCustomizing(TdxBarManager* manager, bool show);
