// The common dialogs (open and save, colour, font) and the one-line input
// prompt. Every one goes through the system dialogs seam (Forms.h), owned
// by the active form's window.
#pragma once

#include "Forms.h"

class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  // Shows the dialog; true when the person confirmed it.
  virtual bool Execute() = 0;

 protected:
  // The active form's window; the application window when there is none.
  static HWND OwnerWindow();
};

enum TOpenOption {
  ofReadOnly,            // the read-only box is ticked (also set by the dialog)
  ofOverwritePrompt,     // asks before an existing file is chosen to be saved over
  ofHideReadOnly,
  ofNoChangeDir,         // the current folder stays as it was
  ofNoValidate,
  ofAllowMultiSelect,    // Files holds every name chosen
  ofExtensionDifferent,  // set by the dialog: the name's extension is not DefaultExt
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoDereferenceLinks,
  ofEnableSizing,
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TCommonDialog {
 public:
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;

  // The name shown at the start, and the one chosen.
  const String& FileName() const { return fileName_; }
  void SetFileName(const String& value) { fileName_ = value; }
  // Pairs of a description and its patterns, separated by "|":
  // "Text Files (*.txt)|*.txt|All (*.*)|*.*".
  const String& Filter() const { return filter_; }
  void SetFilter(const String& value) { filter_ = value; }
  // The filter shown (from 1), and the one chosen.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int value) { filterIndex_ = value; }
  // Added to a name typed without an extension (no leading dot).
  const String& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const String& value) { defaultExt_ = value; }
  const String& InitialDir() const { return initialDir_; }
  void SetInitialDir(const String& value) { initialDir_ = value; }
  // "" gives the platform's caption.
  const String& Title() const { return title_; }
  void SetTitle(const String& value) { title_ = value; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions value) { options_ = value; }
  // The full names chosen (one unless ofAllowMultiSelect).
  TStrings* Files() const { return files_; }

  bool Execute() override;

 protected:
  virtual bool RunDialog(OPENFILENAMEA& ofn);

 private:
  String fileName_, filter_, defaultExt_, initialDir_, title_;
  int filterIndex_ = 1;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  TStringList* files_;
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}

 protected:
  bool RunDialog(OPENFILENAMEA& ofn) override;
};

// "Text Files (*.txt)|*.txt" -> "Text Files (*.txt)\0*.txt\0\0": the form
// the open and save dialogs take ("" for an empty filter).
String DialogFilter(const String& filter);

class TColorDialog : public TCommonDialog {
 public:
  explicit TColorDialog(TComponent* owner);
  ~TColorDialog() override;

  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  // The dialog's sixteen custom colours as lines "ColorA=RRGGBB" to
  // "ColorP=RRGGBB" (hexadecimal, blue in the high byte as in a TColor);
  // a colour not given is white. Written back when the dialog is confirmed.
  TStrings* CustomColors() const { return customColors_; }

  bool Execute() override;

 private:
  TColor color_ = clBlack;
  TStringList* customColors_;
};

class TFontDialog : public TCommonDialog {
 public:
  explicit TFontDialog(TComponent* owner);
  ~TFontDialog() override;

  // The font shown at the start, and the one chosen (with its colour).
  TFont* Font() const { return font_; }
  void SetFont(TFont* value) { font_->Assign(value); }

  bool Execute() override;

 private:
  TFont* font_;
};

// A prompt for one line of text. InputQuery: true on OK, with the text in
// value (which keeps its text on Cancel). InputBox: the text, or
// defaultValue when cancelled. The library's form has the caption, the
// prompt over an edit holding the preset (selected, focused), and the
// buttons "OK" (IDOK, Enter) and "Cancel" (IDCANCEL, Escape).
bool InputQuery(const String& caption, const String& prompt, String& value);
String InputBox(const String& caption, const String& prompt, const String& defaultValue);
