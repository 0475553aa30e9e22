// The extended items of the command bars, beside the core's: their unit's
// start and end, which registers them after the core classes, and the
// image combo, a combo whose entries may each show an image. The static
// item, progress item, large button, spin edit and control container are
// in Dxbarsimpleitems.h.
#pragma once

#include <vector>

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarsimpleitems.h"

class TColorDialog;
class TFontDialog;

// Start and end of the extended items, counted like the core's: the first
// start starts the core unit and then registers the extended classes after
// the core's; the matching last end unregisters them in reverse order and
// ends the core unit.
void dxBarExtItemsInitialize();
void dxBarExtItemsFinalize();
bool dxBarExtItemsInitialized();
// Starts the extended items (and the core) for the lifetime of the object.
class TdxBarExtItemsUnit {
 public:
  TdxBarExtItemsUnit() { dxBarExtItemsInitialize(); }
  ~TdxBarExtItemsUnit() { dxBarExtItemsFinalize(); }
  TdxBarExtItemsUnit(const TdxBarExtItemsUnit&) = delete;
  TdxBarExtItemsUnit& operator=(const TdxBarExtItemsUnit&) = delete;
};

// The objects the extended items share, made at the unit's start and freed
// at its end (null outside): the font-name combo's marks of TrueType and
// other families, the colour and font dialogs (callers set, run and read
// them, never free them), the first day of the week of the user's locale
// (0 Sunday to 6 Saturday) and the date navigator's button captions.
TBitmap* dxBarTrueTypeGlyph();
TBitmap* dxBarNonTrueTypeGlyph();
TColorDialog* dxBarColorDialog();
TFontDialog* dxBarFontDialog();
WORD dxBarFirstWeekDay();
const String& dxBarTodayCaption();
const String& dxBarClearCaption();
// The first day of the week of a locale, 0 (Sunday) when it cannot be read.
WORD dxBarLocaleFirstWeekDay(LCID locale);

// ---------------------------------------------------------------- image combo

// A combo whose entries may each show an image of an image list before
// their text, in the drop-down list, in the field and in its "Select item"
// dialog. Its editor is hidden unless asked for. Docked at the left or the
// right it shows as a button whose click lets the user choose an entry in
// that dialog.
class TdxBarImageCombo : public TdxBarCustomCombo {
 public:
  explicit TdxBarImageCombo(TComponent* owner);
  ~TdxBarImageCombo() override;
  DX_BAR_ITEM_CLASS();

  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  // The image of entry index (-1: none); setting the selected entry's
  // repaints the field.
  int ImageIndexes(int index) const;
  void SetImageIndexes(int index, int value);
  // Draw the entries' text beside the image (else only the image, centred).
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  // The streamed "ImageIndexes": one image index per entry, in order; read
  // into entries 0, 1, 2, ... until the list or the entries end.
  std::vector<int> ReadImageIndexes() const;
  void WriteImageIndexes(const std::vector<int>& values);

  void DrawItem(int index, const TRect& r, TOwnerDrawState state) override;
  void MeasureItem(int index, int& height) override;
  void MeasureItemWidth(int index, int& width) override;
  // Every control of the item lays its bar out again.
  virtual void ImagesChanged();

 protected:
  // After the item's own click, without OnClick and unless read-only: the
  // "Select item" dialog.
  void DoClick() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void ImageListChange(TObject* sender);
  void ChooseInDialog();
  TCustomImageList* images_ = nullptr;
  TOwned<TChangeLink> imagesChangeLink_;
  bool showText_ = true;
};

class TdxBarImageComboControl : public TdxBarComboControl {
 public:
  using TdxBarComboControl::TdxBarComboControl;
  DX_BAR_CONTROL_CLASS();
  // The edit's height, raised to the images' height + 6 on a bar that does
  // not lie vertically.
  int GetHeight() override;
  virtual void ImagesChanged();
};

// The colour and font-name combos, and the toolbars list, MRU list and
// in-place sub items.
#include "bars/extitems/Dxbarpickers.h"
#include "bars/extitems/Dxbarlists.h"
#include "bars/extitems/Dxbartreeview.h"
// The date combo with its calendar.
#include "bars/extitems/Dxbardatecombo.h"
