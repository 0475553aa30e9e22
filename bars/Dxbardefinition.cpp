#include "Dxbardefinition.h"

#include <map>

#include "Dxbarcontrols.h"
#include "Dxbarwinitems.h"
#include "extitems/Dxbarextitems.h"

namespace {

std::map<String, TdxBarFormDefinition>& Definitions() {
  static std::map<String, TdxBarFormDefinition> definitions;
  return definitions;
}

}  // namespace

// ---------------------------------------------------------------- registry

void dxBarRegisterFormDefinition(const String& formClassName, TdxBarFormDefinition definition) {
  Definitions()[formClassName] = definition;
}

void dxBarUnregisterFormDefinition(const String& formClassName) { Definitions().erase(formClassName); }

TdxBarFormDefinition dxBarFindFormDefinition(const String& formClassName) {
  auto it = Definitions().find(formClassName);
  return it == Definitions().end() ? nullptr : it->second;
}

bool dxBarDefineForm(TCustomForm* form) {
  TdxBarFormDefinition definition = form ? dxBarFindFormDefinition(form->ClassName()) : nullptr;
  if (!definition) return false;
  TdxBarDefinition d(form, false);
  definition(d);
  return true;
}

// ---------------------------------------------------------------- definitions

TdxBarManager* TdxBarDefinition::Manager(const String& name) {
  auto* m = new TdxBarManager(form_);
  m->SetName(name);
  m->ReadState();
  manager_ = m;
  return m;
}

TdxBarItem* TdxBarDefinition::Item(const String& className, const String& name) {
  TdxBarComponentFactory factory = dxBarFindClass(className);
  if (!factory) throw EClassNotFound(Format("Class %s not found", className));
  TComponent* c = factory(form_);
  auto* item = dynamic_cast<TdxBarItem*>(c);
  if (!item) {
    c->Free();
    throw EClassNotFound(Format("Class %s is not an item class", className));
  }
  item->SetName(name);
  return item;
}

TdxBarGroup* TdxBarDefinition::Group(const String& name) {
  TdxBarComponentFactory factory = dxBarFindClass("TdxBarGroup");
  if (!factory) throw EClassNotFound("Class TdxBarGroup not found");
  auto* group = static_cast<TdxBarGroup*>(factory(form_));
  group->SetName(name);
  group->SetParentComponent(manager_);
  return group;
}

TdxBar* TdxBarDefinition::Bar(const String& caption, const String& name) {
  TdxBar* bar = manager_->Bars()->Add();
  bar->SetName(name);
  bar->SetCaption(caption);
  return bar;
}

TdxBarItemLink* TdxBarDefinition::Link(TdxBarItemLinks* links, const String& itemName, bool beginGroup) {
  auto* item = dynamic_cast<TdxBarItem*>(form_->FindComponent(itemName));
  if (!item) throw EClassNotFound(Format("The form has no item %s", itemName));
  TdxBarItemLink* link = links->Add();
  link->SetItem(item);
  if (beginGroup) link->SetBeginGroup(true);
  return link;
}

TComponent* TdxBarDefinition::Component(const String& name) const { return form_->FindComponent(name); }

// ---------------------------------------------------------------- copies

TCustomForm* TdxBarManager::LoadMainFormFromBin() {
  if (!mainForm_) return nullptr;
  TdxBarFormDefinition definition = dxBarFindFormDefinition(mainForm_->ClassName());
  if (!definition) return nullptr;
  TCursorGuard cursor(crHourGlass);
  TOwned<TdxBarTempForm> copy(new TdxBarTempForm(nullptr));
  copy->SetName("TempForm");
  {
    auto reading = SetForScope(dxBarReadingFormCopy, true);
    TdxBarDefinition d(copy.get(), true);
    definition(d);
    copy->EndLoading();
  }
  // A copy without a manager of this name is no copy of these bars.
  auto* other = dynamic_cast<TdxBarManager*>(copy->FindComponent(Name()));
  if (!other) return nullptr;
  other->SetStoreInIniFile(false);
  other->SetStoreInRegistry(false);
  return copy.release();
}

// ---------------------------------------------------------------- dump

namespace {

const char* Bool(bool b) { return b ? "True" : "False"; }

const char* StyleName(TdxBarManagerStyle s) {
  static const char* const n[] = {"bmsStandard", "bmsEnhanced", "bmsFlat"};
  return n[s];
}
const char* DockingName(TdxBarDockingStyle s) {
  static const char* const n[] = {"dsNone", "dsLeft", "dsTop", "dsRight", "dsBottom"};
  return n[s];
}
const char* VisibleName(TdxBarItemVisible v) {
  static const char* const n[] = {"ivNever", "ivInCustomizing", "ivAlways"};
  return n[v];
}
const char* PaintStyleName(TdxBarPaintStyle s) {
  static const char* const n[] = {"psStandard", "psCaption", "psCaptionInMenu", "psCaptionGlyph"};
  return n[s];
}
const char* ButtonStyleName(TdxBarButtonStyle s) {
  static const char* const n[] = {"bsDefault", "bsChecked", "bsDropDown"};
  return n[s];
}
const char* AlignName(TdxBarItemAlign a) {
  static const char* const n[] = {"iaLeft", "iaCenter", "iaRight", "iaClient"};
  return n[a];
}
const char* AnimationName(TdxBarMenuAnimations a) {
  static const char* const n[] = {"maNone", "maRandom", "maUnfold", "maSlide"};
  return n[a];
}

String Dockings(TdxBarDockingStyles s) {
  String r;
  for (TdxBarDockingStyle d : {dsNone, dsLeft, dsTop, dsRight, dsBottom})
    if (s.Contains(d)) r += (r.empty() ? "" : ", ") + String(DockingName(d));
  return "[" + r + "]";
}

String Defines(TdxBarUserDefines s) {
  static const char* const n[] = {"udCaption", "udGlyph", "udPaintStyle", "udWidth"};
  String r;
  for (TdxBarUserDefine d : {udCaption, udGlyph, udPaintStyle, udWidth})
    if (s.Contains(d)) r += (r.empty() ? "" : ", ") + String(n[d]);
  return "[" + r + "]";
}

String NameOf(const TComponent* c) { return c ? c->Name() : String("(none)"); }

class TDump {
 public:
  void Line(const String& key, const String& value) { text_ += key + " = " + value + "\r\n"; }
  void Line(const String& key, const char* value) { Line(key, String(value)); }
  void Line(const String& key, int value) { Line(key, IntToStr(value)); }
  template <class T>
  void Changed(const String& key, const T& value, const T& def) {
    if (!(value == def)) Value(key, value);
  }
  const String& Text() const { return text_; }

 private:
  void Value(const String& key, bool v) { Line(key, Bool(v)); }
  void Value(const String& key, int v) { Line(key, v); }
  void Value(const String& key, const String& v) { Line(key, v); }
  String text_;
};

void DumpLinks(TDump& d, const String& prefix, TdxBarItemLinks* links) {
  for (int i = 0; i < links->Count(); ++i) {
    TdxBarItemLink* l = links->Items(i);
    String p = prefix + ".Link[" + IntToStr(i) + "]";
    d.Line(p, NameOf(l->Item()));
    d.Line(p + ".BeginGroup", Bool(l->StoredBeginGroup()));
    d.Line(p + ".EffectiveBeginGroup", Bool(l->BeginGroup()));
    d.Line(p + ".Visible", Bool(l->Visible()));
    d.Changed(p + ".MostRecentlyUsed", l->MostRecentlyUsed(), true);
    if (!l->UserDefine().Empty()) d.Line(p + ".UserDefine", Defines(l->UserDefine()));
    if (l->UserDefine().Contains(udCaption)) d.Line(p + ".UserCaption", l->UserCaption());
    if (l->UserDefine().Contains(udGlyph))
      d.Line(p + ".UserGlyph", IntToStr(l->UserGlyph()->Width()) + "x" + IntToStr(l->UserGlyph()->Height()));
    if (l->UserDefine().Contains(udPaintStyle)) d.Line(p + ".UserPaintStyle", PaintStyleName(l->UserPaintStyle()));
    if (l->UserDefine().Contains(udWidth)) d.Line(p + ".UserWidth", l->UserWidth());
    d.Line(p + ".UseCount", l->UseCount());
    d.Line(p + ".RecentIndex", l->RecentIndex());
  }
}

void DumpItem(TDump& d, int index, TdxBarItem* item) {
  String p = "Item[" + IntToStr(index) + "]";
  d.Line(p, item->ClassName() + " " + item->Name());
  if (item->Action()) d.Line(p + ".Action", NameOf(item->Action()));
  if (item->Align() != iaLeft) d.Line(p + ".Align", AlignName(item->Align()));
  d.Changed(p + ".Caption", item->Caption(), String());
  d.Line(p + ".Category", item->Category());
  d.Changed(p + ".Description", item->Description(), String());
  d.Changed(p + ".Enabled", item->StoredEnabled(), true);
  d.Changed(p + ".HelpContext", item->HelpContext(), 0);
  d.Changed(p + ".Hint", item->Hint(), String());
  if (item->Visible() != ivAlways) d.Line(p + ".Visible", VisibleName(item->Visible()));
  d.Changed(p + ".ImageIndex", item->ImageIndex(), -1);
  if (item->ShortCut()) d.Line(p + ".ShortCut", ShortCutToText(item->ShortCut()));
  if (!item->Glyph()->Empty())
    d.Line(p + ".Glyph", IntToStr(item->Glyph()->Width()) + "x" + IntToStr(item->Glyph()->Height()));
  if (auto* b = dynamic_cast<TdxBarButton*>(item)) {
    d.Changed(p + ".AllowAllUp", b->AllowAllUp(), false);
    if (b->ButtonStyle() != bsDefault) d.Line(p + ".ButtonStyle", ButtonStyleName(b->ButtonStyle()));
    d.Changed(p + ".CloseSubMenuOnClick", b->CloseSubMenuOnClick(), true);
    d.Changed(p + ".DropDownEnabled", b->DropDownEnabled(), true);
    d.Changed(p + ".GroupIndex", b->GroupIndex(), 0);
    d.Changed(p + ".Down", b->Down(), false);
    if (b->DropDownMenu()) d.Line(p + ".DropDownMenu", NameOf(b->DropDownMenu()));
    d.Changed(p + ".Lowered", b->Lowered(), false);
    if (b->PaintStyle() != psStandard) d.Line(p + ".PaintStyle", PaintStyleName(b->PaintStyle()));
    d.Changed(p + ".UnclickAfterDoing", b->UnclickAfterDoing(), true);
  }
  if (auto* s = dynamic_cast<TCustomdxBarSubItem*>(item)) {
    d.Changed(p + ".BarSize", s->BarSize(), 0);
    d.Changed(p + ".Detachable", s->Detachable(), false);
    d.Changed(p + ".DetachingBar", s->DetachingBar(), -1);
    d.Changed(p + ".ShowCaption", s->ShowCaption(), true);
  }
  if (auto* s = dynamic_cast<TdxBarSubItem*>(item)) d.Changed(p + ".AllowCustomizing", s->AllowCustomizing(), true);
  if (auto* l = dynamic_cast<TdxBarListItem*>(item)) {
    d.Changed(p + ".ItemIndex", l->ItemIndex(), -1);
    for (int i = 0; i < l->Items()->Count(); ++i) d.Line(p + ".Items[" + IntToStr(i) + "]", l->Items()->Get(i));
    d.Changed(p + ".ShowCheck", l->ShowCheck(), false);
    d.Changed(p + ".ShowNumbers", l->ShowNumbers(), true);
  }
  if (auto* w = dynamic_cast<TdxBarWindowItem*>(item)) d.Changed(p + ".Text", w->Text(), String());
  if (auto* e = dynamic_cast<TdxBarEdit*>(item)) {
    d.Changed(p + ".MaxLength", e->MaxLength(), 0);
    d.Changed(p + ".ReadOnly", e->ReadOnly(), false);
    d.Changed(p + ".ShowCaption", e->ShowCaption(), false);
    d.Line(p + ".Width", e->Width());
  }
  auto* image = dynamic_cast<TdxBarImageCombo*>(item);
  // The image combo hides its editor unless asked.
  if (auto* c = dynamic_cast<TCustomdxBarCombo*>(item)) d.Changed(p + ".ShowEditor", c->ShowEditor(), !image);
  if (auto* c = dynamic_cast<TdxBarCustomCombo*>(item)) {
    d.Changed(p + ".DropDownCount", c->DropDownCount(), 8);
    d.Changed(p + ".DropDownWidth", c->DropDownWidth(), 0);
    d.Changed(p + ".ItemHeight", c->ItemHeight(), 0);
    for (int i = 0; i < c->Items()->Count(); ++i) d.Line(p + ".Items[" + IntToStr(i) + "]", c->Items()->Get(i));
    d.Changed(p + ".Sorted", c->Sorted(), false);
    d.Changed(p + ".ItemIndex", c->ItemIndex(), -1);
  }
  if (image) {
    if (image->Images()) d.Line(p + ".Images", NameOf(image->Images()));
    d.Changed(p + ".ShowText", image->ShowText(), true);
    // Always written, as a list with one index per entry.
    String list;
    for (int index : image->ReadImageIndexes()) list += (list.empty() ? "" : " ") + IntToStr(index);
    d.Line(p + ".ImageIndexes", "(" + list + ")");
  }
}

void DumpBar(TDump& d, int index, TdxBar* bar) {
  String p = "Bar[" + IntToStr(index) + "]";
  d.Line(p, bar->Caption());
  d.Line(p + ".Name", bar->Name());
  d.Changed(p + ".AllowClose", bar->AllowClose(), true);
  d.Changed(p + ".AllowCustomizing", bar->AllowCustomizing(), true);
  d.Changed(p + ".AllowQuickCustomizing", bar->AllowQuickCustomizing(), true);
  d.Changed(p + ".AllowReset", bar->AllowReset(), true);
  if (bar->BorderStyle() != bbsSingle) d.Line(p + ".BorderStyle", "bbsNone");
  if (bar->DockControl()) d.Line(p + ".DockControl", NameOf(bar->DockControl()));
  if (bar->DockedDockControl()) d.Line(p + ".DockedDockControl", NameOf(bar->DockedDockControl()));
  d.Line(p + ".DockedDockingStyle", DockingName(bar->DockedDockingStyle()));
  d.Changed(p + ".DockedLeft", bar->DockedLeft(), 0);
  d.Changed(p + ".DockedTop", bar->DockedTop(), 0);
  d.Line(p + ".DockingStyle", DockingName(bar->DockingStyle()));
  d.Changed(p + ".FloatLeft", bar->FloatLeft(), 0);
  d.Changed(p + ".FloatTop", bar->FloatTop(), 0);
  d.Changed(p + ".FloatClientWidth", bar->FloatClientWidth(), 0);
  d.Changed(p + ".FloatClientHeight", bar->FloatClientHeight(), 0);
  d.Changed(p + ".Hidden", bar->Hidden(), false);
  d.Changed(p + ".IsMainMenu", bar->IsMainMenu(), false);
  d.Changed(p + ".MultiLine", bar->MultiLine(), false);
  if (!bar->NotDocking().Empty()) d.Line(p + ".NotDocking", Dockings(bar->NotDocking()));
  d.Changed(p + ".OneOnRow", bar->OneOnRow(), false);
  d.Changed(p + ".RotateWhenVertical", bar->RotateWhenVertical(), true);
  d.Line(p + ".Row", bar->Row());
  d.Changed(p + ".ShowMark", bar->ShowMark(), true);
  d.Changed(p + ".SizeGrip", bar->SizeGrip(), true);
  d.Changed(p + ".UseOwnFont", bar->UseOwnFont(), false);
  d.Changed(p + ".UseRecentItems", bar->UseRecentItems(), true);
  d.Changed(p + ".UseRestSpace", bar->UseRestSpace(), false);
  d.Line(p + ".Visible", Bool(bar->Visible()));
  d.Changed(p + ".WholeRow", bar->WholeRow(), false);
  DumpLinks(d, p, bar->ItemLinks());
}

}  // namespace

String dxBarDumpModel(TdxBarManager* m) {
  TDump d;
  if (!m) return d.Text();
  d.Line("Manager", m->Name());
  d.Changed("Manager.AllowCallFromAnotherForm", m->AllowCallFromAnotherForm(), false);
  d.Changed("Manager.AllowReset", m->AllowReset(), true);
  d.Changed("Manager.AlwaysMerge", m->AlwaysMerge(), false);
  d.Changed("Manager.AlwaysSaveText", m->AlwaysSaveText(), false);
  d.Changed("Manager.AutoDockColor", m->AutoDockColor(), true);
  d.Changed("Manager.AutoHideEmptyBars", m->AutoHideEmptyBars(), false);
  d.Changed("Manager.Scaled", m->Scaled(), true);
  // The system font's face and height are the machine's.
  if (!m->UseSystemFont()) {
    d.Line("Manager.Font.Name", m->Font()->Name());
    d.Line("Manager.Font.Height", m->Font()->Height());
  }
  d.Changed("Manager.ButtonArrowWidth", m->ButtonArrowWidth(), 11);
  d.Changed("Manager.CanCustomize", m->CanCustomize(), true);
  if (!m->AutoDockColor()) d.Line("Manager.DockColor", IntToHex(static_cast<uint32_t>(m->DockColor()), 8));
  d.Changed("Manager.FlatCloseButton", m->FlatCloseButton(), false);
  if (!m->HelpButtonGlyph()->Empty())
    d.Line("Manager.HelpButtonGlyph",
           IntToStr(m->HelpButtonGlyph()->Width()) + "x" + IntToStr(m->HelpButtonGlyph()->Height()));
  d.Changed("Manager.HelpContext", m->HelpContext(), 0);
  d.Changed("Manager.HideFloatingBarsWhenInactive", m->HideFloatingBarsWhenInactive(), true);
  if (m->HotImages()) d.Line("Manager.HotImages", NameOf(m->HotImages()));
  if (m->ImageListBkColor() != clFuchsia)
    d.Line("Manager.ImageListBkColor", IntToHex(static_cast<uint32_t>(m->ImageListBkColor()), 8));
  if (m->Images()) d.Line("Manager.Images", NameOf(m->Images()));
  d.Changed("Manager.IniFileName", m->IniFileName(), String());
  if (m->LargeImages()) d.Line("Manager.LargeImages", NameOf(m->LargeImages()));
  d.Changed("Manager.LargeButtonArrowWidth", m->LargeButtonArrowWidth(), 13);
  d.Changed("Manager.LargeIcons", m->LargeIcons(), false);
  if (m->MenuAnimations() != maNone) d.Line("Manager.MenuAnimations", AnimationName(m->MenuAnimations()));
  d.Changed("Manager.MenusShowRecentItemsFirst", m->MenusShowRecentItemsFirst(), true);
  d.Changed("Manager.MostRecentItemsPercents", m->MostRecentItemsPercents(), 95);
  if (!m->NotDocking().Empty()) d.Line("Manager.NotDocking", Dockings(m->NotDocking()));
  d.Changed("Manager.RegistryPath", m->RegistryPath(), String());
  d.Changed("Manager.ShowCloseButton", m->ShowCloseButton(), false);
  d.Changed("Manager.ShowFullMenusAfterDelay", m->ShowFullMenusAfterDelay(), true);
  d.Changed("Manager.ShowHelpButton", m->ShowHelpButton(), false);
  d.Changed("Manager.ShowHint", m->ShowHint(), true);
  d.Changed("Manager.ShowHintForDisabledItems", m->ShowHintForDisabledItems(), true);
  d.Changed("Manager.ShowShortCutInHint", m->ShowShortCutInHint(), false);
  d.Changed("Manager.StoreInIniFile", m->StoreInIniFile(), false);
  d.Changed("Manager.StoreInRegistry", m->StoreInRegistry(), false);
  d.Changed("Manager.StretchGlyphs", m->StretchGlyphs(), true);
  if (m->Style() != bmsEnhanced) d.Line("Manager.Style", StyleName(m->Style()));
  d.Changed("Manager.SunkenBorder", m->SunkenBorder(), false);
  d.Changed("Manager.UseF10ForMenu", m->UseF10ForMenu(), true);
  d.Changed("Manager.UseFullReset", m->UseFullReset(), false);
  d.Line("Manager.UseSystemFont", Bool(m->UseSystemFont()));
  d.Changed("Manager.WaitForDockingTime", m->WaitForDockingTime(), 21);
  // The dock sizes (DockControlHeights) follow the rows laid out in them:
  // geometry, not model.

  for (int i = 0; i < m->Categories()->Count(); ++i) {
    String p = "Category[" + IntToStr(i) + "]";
    d.Line(p, m->Categories()->Get(i));
    d.Line(p + ".Visible", Bool(m->CategoryVisible(i)));
    d.Line(p + ".ItemsVisible", VisibleName(m->CategoryItemsVisible(i)));
  }
  for (int i = 0; i < m->ItemCount(); ++i) DumpItem(d, i, m->Items(i));
  for (int i = 0; i < m->GroupCount(); ++i) {
    TdxBarGroup* g = m->Groups(i);
    String p = "Group[" + IntToStr(i) + "]";
    d.Line(p, g->Name());
    d.Changed(p + ".Enabled", g->Enabled(), true);
    if (g->Visible() != ivAlways) d.Line(p + ".Visible", VisibleName(g->Visible()));
    for (int j = 0; j < g->Count(); ++j) d.Line(p + ".Item[" + IntToStr(j) + "]", NameOf(g->Items(j)));
  }
  for (int i = 0; i < m->Bars()->Count(); ++i) DumpBar(d, i, m->Bars()->Items(i));
  for (int i = 0; i < m->ItemCount(); ++i)
    if (auto* s = dynamic_cast<TCustomdxBarSubItem*>(m->Items(i)))
      DumpLinks(d, "SubItem[" + s->Name() + "]", s->ItemLinks());
  return d.Text();
}
