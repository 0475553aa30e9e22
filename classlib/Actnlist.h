// Actions, their links to the controls and menu items that show them,
// action lists and shortcuts.
#pragma once

#include "Classes.h"
#include "Sets.h"

// ---------------------------------------------------------------- shortcuts

// A key with its modifiers: the virtual key in the low byte, scShift,
// scCtrl and scAlt above it. 0 means none.
using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// "Ctrl+N", "Shift+Ctrl+F10", "Alt+Enter", "Del"; "" for 0.
String ShortCutToText(TShortCut shortCut);
// The reverse, without case; 0 for a text that names no key.
TShortCut TextToShortCut(const String& text);
// The modifier keys held now (GetKeyState).
TShiftState KeyboardShiftState();
// The modifiers of a key message's key data (Alt from bit 29).
TShiftState KeyDataToShiftState(LPARAM keyData);

// ---------------------------------------------------------------- base actions

class TBasicAction;

// Joins a client (control, menu item, bar item) to an action: the action
// tells every link of its changes, the link passes them to its client.
class TBasicActionLink : public TObject {
 public:
  explicit TBasicActionLink(TObject* client);
  ~TBasicActionLink() override;
  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* value);
  TObject* Client() const { return client_; }
  // Runs the action's Update; true when something answered.
  virtual bool Update();
  // Executes the action for the client.
  virtual bool Execute(TComponent* target = nullptr);
  TNotifyEvent OnChange;

 protected:
  friend class TBasicAction;
  // The action changed: the link updates its client.
  virtual void Change();
  TObject* client_;

 private:
  TBasicAction* action_ = nullptr;
};

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;

  // Fires OnExecute (through the action list and the application first);
  // true when someone handled it.
  virtual bool Execute();
  // Fires OnUpdate the same way; true when someone handled it.
  virtual bool Update();
  // The component the action is carried out for (set while a client runs it).
  TComponent* ActionComponent() const { return actionComponent_; }
  void SetActionComponent(TComponent* value) { actionComponent_ = value; }

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;
  // Some property of the action changed (the lists and editors listen).
  TNotifyEvent OnChange;

  void RegisterChanges(TBasicActionLink* link);
  void UnRegisterChanges(TBasicActionLink* link);
  int LinkCount() const { return static_cast<int>(links_.size()); }

 protected:
  // Fires OnChange.
  void Change();
  // The links now (a copy: a client's update may unregister one).
  std::vector<TBasicActionLink*> Links() const { return links_; }
  bool HasLink(TBasicActionLink* link) const;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  std::vector<TBasicActionLink*> links_;
  TComponent* actionComponent_ = nullptr;
};

class TCustomActionList;

// An action held by an action list.
class TContainedAction : public TBasicAction {
 public:
  explicit TContainedAction(TComponent* owner) : TBasicAction(owner) {}
  ~TContainedAction() override;
  bool Execute() override;
  bool Update() override;
  TCustomActionList* ActionList() const { return actionList_; }
  void SetActionList(TCustomActionList* list);
  int Index() const;
  const String& Category() const { return category_; }
  void SetCategory(const String& value);

 private:
  friend class TCustomActionList;
  TCustomActionList* actionList_ = nullptr;
  String category_;
};

// The action the Parts bind controls and menu items to.
class TCustomAction : public TContainedAction {
 public:
  // Each setter hands the new value to the links before storing it, so a
  // link can still tell whether its client followed the old value.
  explicit TCustomAction(TComponent* owner);
  bool Execute() override;

  const String& Caption() const { return caption_; }
  void SetCaption(const String& value);
  bool Checked() const { return checked_; }
  // With a group index, checking one action unchecks the others of its
  // group in the same list.
  void SetChecked(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool value) { autoCheck_ = value; }

 private:
  String caption_;
  bool checked_ = false;
  bool enabled_ = true;
  int groupIndex_ = 0;
  int helpContext_ = 0;
  String hint_;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  bool visible_ = true;
  bool autoCheck_ = false;

  template <class F>
  void ForLinks(F f);
};

class TAction : public TCustomAction {
 public:
  explicit TAction(TComponent* owner) : TCustomAction(owner) {}
};

// The link of a client that shows a TCustomAction's properties. The client
// kinds (controls, menu items, bar items) override the setters.
class TActionLink : public TBasicActionLink {
 public:
  using TBasicActionLink::TBasicActionLink;
  TCustomAction* CustomAction() const { return dynamic_cast<TCustomAction*>(Action()); }

  // Whether the client's value follows the action: true when the client's
  // value still equals the action's (the client did not override it).
  virtual bool IsCaptionLinked() const { return CustomAction() != nullptr; }
  virtual bool IsCheckedLinked() const { return CustomAction() != nullptr; }
  virtual bool IsEnabledLinked() const { return CustomAction() != nullptr; }
  virtual bool IsHelpContextLinked() const { return CustomAction() != nullptr; }
  virtual bool IsHintLinked() const { return CustomAction() != nullptr; }
  virtual bool IsImageIndexLinked() const { return CustomAction() != nullptr; }
  virtual bool IsShortCutLinked() const { return CustomAction() != nullptr; }
  virtual bool IsVisibleLinked() const { return CustomAction() != nullptr; }
  virtual bool IsOnExecuteLinked() const { return CustomAction() != nullptr; }

  virtual void SetCaption(const String&) {}
  virtual void SetChecked(bool) {}
  virtual void SetEnabled(bool) {}
  virtual void SetHelpContext(int) {}
  virtual void SetHint(const String&) {}
  virtual void SetImageIndex(int) {}
  virtual void SetShortCut(TShortCut) {}
  virtual void SetVisible(bool) {}

  // Copies every property from the action to the client (a new link);
  // the setters apply unconditionally meanwhile.
  void ApplyAll();
  bool ApplyingAll = false;
};

// ---------------------------------------------------------------- lists

enum TActionListState { asNormal, asSuspended, asSuspendedEnabled };
using TActionEvent = TEvent<TBasicAction*, bool&>;

class TCustomImageList;

class TCustomActionList : public TComponent {
 public:
  explicit TCustomActionList(TComponent* owner);
  ~TCustomActionList() override;

  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TContainedAction* Actions(int index) const;
  // Runs OnExecute (OnUpdate) of the list; handled tells whether the
  // action's own handler should still run.
  virtual bool ExecuteAction(TBasicAction* action);
  virtual bool UpdateAction(TBasicAction* action);
  // The enabled, visible action with this shortcut is updated and carried
  // out; true when one was.
  bool IsShortCut(WORD key, TShiftState shift);
  // Updates every action (idle time).
  void UpdateActions();

  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  TActionListState State() const { return state_; }
  void SetState(TActionListState value);

  TActionEvent OnExecute;
  TActionEvent OnUpdate;
  TNotifyEvent OnChange;

 protected:
  friend class TContainedAction;
  void AddAction(TContainedAction* action);
  void RemoveAction(TContainedAction* action);
  void Notification(TComponent* component, TOperation operation) override;

 private:
  std::vector<TContainedAction*> actions_;
  TCustomImageList* images_ = nullptr;
  TActionListState state_ = asNormal;
};

class TActionList : public TCustomActionList {
 public:
  explicit TActionList(TComponent* owner) : TCustomActionList(owner) {}
};

// The application's turn before a list's: set by the application object.
using TApplicationActionHook = bool (*)(TBasicAction* action, bool update);
void SetApplicationActionHook(TApplicationActionHook hook);
