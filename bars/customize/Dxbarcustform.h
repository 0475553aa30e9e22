// The Customize window of a bar manager: toolbars, commands and options of
// the live manager, edited while it is customizing.
#pragma once

#include "bars/Dxbar.h"
#include "classlib/Buttons.h"
#include "classlib/Comctrls.h"
#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"

// The bars list: a check box per bar, checked while the bar is visible.
class TCheckListBox : public TListBox {
 public:
  TCheckListBox(TComponent* owner, TdxBarManager* manager);
  TdxBar* Bar(int index) const;
  // Shows or hides the bar of a row; a bar that cannot close beeps.
  void Toggle(int index);
  void RepaintCheck(int index);
  int CheckSize() const { return checkSize_; }

 protected:
  void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
  void Dispatch(TMessage& msg) override;
  void KeyPress(char& key) override;

 private:
  int checkSize_ = 0;
  TdxBarManager* manager_;
};

// The commands of a category as they look on a bar; a press drags one.
class TCommandsListBox : public TListBox {
 public:
  TCommandsListBox(TComponent* owner, TdxBarManager* manager);
  TdxBarItem* Item(int index) const;

 protected:
  void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
  void MeasureItem(int index, int& height) override;
  void Dispatch(TMessage& msg) override;

 private:
  void DrawButtonRow(TdxBarItem* item, const TRect& rect, bool selected, bool flat);
  void DrawEditRow(TdxBarItem* item, const TRect& rect, bool selected, bool flat);
  TdxBarManager* manager_;
};

class TdxBarCustomizingForm : public TForm {
 public:
  // Posted to itself: take the activation over from the disabled main form.
  static constexpr UINT WM_TAKEACTIVATION = WM_USER + 1;
  explicit TdxBarCustomizingForm(TdxBarManager* manager);
  ~TdxBarCustomizingForm() override;
  TdxBarManager* BarManager() const { return barManager_; }
  // Follows the main form's showing and hiding.
  void UpdateVisibility(const WINDOWPOS& pos);
  // Activates page n and runs the page change.
  void SelectPage(int page);

  TPanel* Panel1;
  TPanel* Panel2;
  TPanel* Panel3;
  TPanel* Panel4;
  TBitBtn* BHelp;
  TButton* BClose;
  TPageControl* PageControl;
  TTabSheet* TabSheet1;
  TTabSheet* TabSheet2;
  TTabSheet* TabSheet3;
  TTabSheet* TabSheet4;
  TTabSheet* TabSheet5;
  TLabel* LabelToobars;
  TButton* BBarNew;
  TButton* BBarRename;
  TButton* BBarDelete;
  TButton* BBarReset;
  TPanel* Panel6;
  TLabel* LabelCategories;
  TLabel* LabelCommands;
  TPanel* Panel5;
  TPanel* Panel8;
  TPanel* Panel7;
  TListBox* LCategories;
  TPanel* Panel9;
  TLabel* LabelDescription;
  TBevel* Bevel1;
  TLabel* DescriptionLabel;
  TPanel* StandardOptionsPanel;
  TCheckBox* CBLargeIcons;
  TCheckBox* CBHint1;
  TCheckBox* CBHint2;
  TLabel* LabelMenuAnimations;
  TComboBox* ComboBoxMenuAnimations;
  TPanel* EnhancedOptionsPanel;
  TLabel* Label3;
  TBevel* Bevel3;
  TCheckBox* CBMenusShowRecentItemsFirst;
  TCheckBox* CBShowFullMenusAfterDelay;
  TButton* BResetUsageData;
  TLabel* Label2;
  TBevel* Bevel2;
  TCheckBox* CBLargeIconsEx;
  TCheckBox* CBHint1Ex;
  TCheckBox* CBHint2Ex;
  TLabel* Label1;
  TComboBox* ComboBoxMenuAnimationsEx;

  TCheckListBox* BarsList() const { return barsList_; }
  TCommandsListBox* CommandsList() const { return commandsList_; }

  // The handlers, also run by the unit's update routines.
  void BarsListBoxClick(TObject* sender);
  void LCategoriesClick(TObject* sender);
  void LCommandsClick(TObject* sender);
  void PageControlChange(TObject* sender);
  void UpdateOptions();
  void UpdateHelpButton();
  void BarManagerStyleChanged();
  // The rows again after a bar changed: texts and check boxes.
  void UpdateBars();
  void UpdateItems();
  void UpdateItemsEx(TdxBarItem* item, bool reselect);
  void FullUpdateItems();

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  void Activate() override;

 private:
  void FormClose(TObject* sender, TCloseAction& action);
  void BBarNewClick(TObject* sender);
  void BBarRenameClick(TObject* sender);
  void BBarDeleteClick(TObject* sender);
  void BBarResetClick(TObject* sender);
  void BCloseClick(TObject* sender);
  void BHelpClick(TObject* sender);
  void CBMenusShowRecentItemsFirstClick(TObject* sender);
  void CBShowFullMenusAfterDelayClick(TObject* sender);
  void BResetUsageDataClick(TObject* sender);
  void CBLargeIconsClick(TObject* sender);
  void CBHint1Click(TObject* sender);
  void CBHint1ExClick(TObject* sender);
  void CBHint2Click(TObject* sender);
  void ComboBoxMenuAnimationsClick(TObject* sender);
  void SetAnimationRow(TLabel* label, TComboBox* combo);
  void RebuildCommands();
  TdxBar* SelectedBar();
  // The categories row of a category; -1 when it is not listed.
  int CategoryRow(int category);
  bool ManagerAlive() const;

  TCheckListBox* barsList_ = nullptr;
  TCommandsListBox* commandsList_ = nullptr;
  bool passingActivation_ = false;  // while the activation goes on to the main form
  bool updating_ = false;
  bool loadingOptions_ = false;
  TdxBarManager* barManager_ = nullptr;
};

// The open Customize window, or none.
TdxBarCustomizingForm* dxBarCustomizingForm();
