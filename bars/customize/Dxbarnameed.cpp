#include "Dxbarnameed.h"

#include "Dxbarcustform.h"
#include "bars/Dxbarstrs.h"

TdxBarNameEd::TdxBarNameEd(TComponent* owner) : TForm(owner) {
  SetName("dxBarNameEd");
  SetBorderIcons(TBorderIcons{});
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientWidth(266);
  SetClientHeight(87);
  OnCloseQuery = {this, &TdxBarNameEd::FormCloseQuery};

  EName = MakeControl<TEdit>(this, "EName", 8, 27, 251, 21);
  EName->OnChange = {this, &TdxBarNameEd::ENameChange};
  LName = MakeControl<TLabel>(this, "LName", 8, 8, 0, 13);
  LName->SetCaption("&Toolbar name:");
  LName->SetFocusControl(EName);
  BOK = MakeControl<TButton>(this, "BOK", 106, 58, 73, 23);
  BOK->SetCaption("OK");
  BOK->SetDefault(true);
  BOK->SetModalResult(mrOk);
  BCancel = MakeControl<TButton>(this, "BCancel", 186, 58, 73, 23);
  BCancel->SetCaption("Cancel");
  BCancel->SetCancel(true);
  BCancel->SetModalResult(mrCancel);
  EndLoading();
}

void TdxBarNameEd::ENameChange(TObject*) { BOK->SetEnabled(!EName->Text().empty()); }

void TdxBarNameEd::FormCloseQuery(TObject*, bool& canClose) {
  if (ModalResult() != mrOk || NameKind != 0 || !BarManager) return;
  String text = EName->Text();
  TdxBar* other = BarManager->BarByCaption(text);
  if (other && other != Bar) {
    canClose = false;
    Application->MessageBox(Format(dxBarLoadStr(dxSBAR_TOOLBAREXISTS), text), Application->Title,
                            MB_ICONERROR);
  }
}

bool dxBarEditName(String& name, int kind, int mode, TdxBarManager* manager, TdxBar* bar) {
  TOwned<TdxBarNameEd> dialog(new TdxBarNameEd(nullptr));
  TdxBarNameEd* d = dialog.get();
  if (TdxBarCustomizingForm* form = dxBarCustomizingForm()) d->SetFont(form->Font());
  d->NameKind = kind;
  d->Bar = bar;
  d->BarManager = manager;
  int caption;
  if (kind == 0)
    caption = mode == 0 ? dxSBAR_NEWTOOLBARCAPTION : dxSBAR_RENAMETOOLBARCAPTION;
  else
    caption = mode == 0 ? dxSBAR_ADDCATEGORYCAPTION : mode == 1 ? dxSBAR_INSERTCATEGORYCAPTION
                                                                : dxSBAR_RENAMECATEGORYCAPTION;
  d->SetCaption(dxBarLoadStr(caption));
  d->LName->SetCaption(dxBarLoadStr(kind == 0 ? dxSBAR_TOOLBARNAME : dxSBAR_CATEGORYNAME));
  d->EName->SetText(name);
  d->BOK->SetCaption(dxBarLoadStr(dxSBAR_OK));
  d->BOK->SetEnabled(!name.empty());
  d->BCancel->SetCaption(dxBarLoadStr(dxSBAR_CANCEL));
  d->SetActiveControl(d->EName);
  if (d->ShowModal() != mrOk) return false;
  name = d->EName->Text();
  return true;
}
