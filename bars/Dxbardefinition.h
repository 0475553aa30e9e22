// Bars defined in code. A form's bars come from one definition: a function
// registered under the form's class name that makes the manager, its
// categories, items, groups, bars and links while the form is loading, by
// the setters. The form's constructor runs it (dxBarDefineForm), binds its
// events and ends its loading (EndLoading runs Loaded in creation order:
// the manager first, then the items and groups). The manager runs the same
// definition into a copy of the form to reset bars and usage data.
#pragma once

#include "Dxbar.h"

NEMBRA_EXCEPTION(EClassNotFound, Exception);

class TdxBarDefinition {
 public:
  // copy: the definition makes a copy of the form (no actions, no events).
  TdxBarDefinition(TCustomForm* form, bool copy) : form_(form), copy_(copy) {}
  TCustomForm* Form() const { return form_; }
  bool IsCopy() const { return copy_; }

  // The form's manager, named.
  TdxBarManager* Manager(const String& name);
  TdxBarManager* BarManager() const { return manager_; }
  // An item of a registered class owned by the form; EClassNotFound
  // "Class <name> not found" for a class that is not registered.
  TdxBarItem* Item(const String& className, const String& name);
  template <class T>
  T* Item(const String& className, const String& name) {
    TdxBarItem* item = Item(className, name);
    auto* t = dynamic_cast<T*>(item);
    if (!t) throw EClassNotFound(Format("Class %s is not of the kind asked for", className));
    return t;
  }
  // A group of the manager, owned by the form.
  TdxBarGroup* Group(const String& name);
  // A bar of the manager with this caption and name.
  TdxBar* Bar(const String& caption, const String& name);
  // A link to the form's item of that name (EClassNotFound when the form
  // has none).
  TdxBarItemLink* Link(TdxBarItemLinks* links, const String& itemName, bool beginGroup = false);
  // The form's component of that name (an action, a dock control); none in
  // a copy that does not have it.
  TComponent* Component(const String& name) const;
  TBasicAction* Action(const String& name) const { return dynamic_cast<TBasicAction*>(Component(name)); }

 private:
  TCustomForm* form_;
  bool copy_;
  TdxBarManager* manager_ = nullptr;
};

using TdxBarFormDefinition = void (*)(TdxBarDefinition& definition);

void dxBarRegisterFormDefinition(const String& formClassName, TdxBarFormDefinition definition);
void dxBarUnregisterFormDefinition(const String& formClassName);
TdxBarFormDefinition dxBarFindFormDefinition(const String& formClassName);

// Runs the definition registered under the form's class name into the form,
// which is loading; false when there is none.
bool dxBarDefineForm(TCustomForm* form);

// The form a manager makes its copies in.
class TdxBarTempForm : public TForm {
 public:
  explicit TdxBarTempForm(TComponent* owner) : TForm(owner) {}
};

// The model of a manager as text, one value per line: the manager's values
// that differ from their defaults, the categories, the items (class, name,
// action, values), the groups, the bars with their links and the links of
// each sub item. Nothing of addresses, handles or metrics.
String dxBarDumpModel(TdxBarManager* manager);
