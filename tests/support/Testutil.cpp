#include "Testutil.h"

#include <windows.h>

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  ProcessQueuedMessages();
  if (done()) return true;
  return PumpUntil(done, DeadlineAfter(timeoutMs)) == prDone;
}

void PumpFor(DWORD ms) { PumpUntil(nullptr, DeadlineAfter(ms)); }

namespace {
void RemoveTree(const String& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      String n = fd.cFileName;
      if (n == "." || n == "..") continue;
      String path = dir + "\\" + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}
}  // namespace

String MakeTempFolder(const String& name) {
  char tmp[MAX_PATH];
  GetTempPathA(sizeof tmp, tmp);
  static int counter = 0;
  String dir = IncludeTrailingBackslash(tmp) + "nembra-tests\\" + name + "-" + IntToStr(GetCurrentProcessId()) + "-" +
               IntToStr(++counter);
  // Wine reuses process ids: clear what an earlier run left.
  RemoveTree(dir);
  ForceDirectories(dir);
  return dir;
}

String ReadFileBytes(const String& path) {
  TFileStream fs(path, fmOpenRead | fmShareDenyNone);
  String s(static_cast<size_t>(fs.Size()), '\0');
  if (!s.empty()) fs.ReadBuffer(s.data(), static_cast<int64_t>(s.size()));
  return s;
}

void WriteFileBytes(const String& path, const String& data) {
  TFileStream fs(path, fmCreate);
  if (!data.empty()) fs.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

namespace {
template <class T>
T TakeFront(std::vector<T>& queue, T empty) {
  if (queue.empty()) return empty;
  T v = queue.front();
  queue.erase(queue.begin());
  return v;
}

String OrEmpty(const char* s) { return s ? s : ""; }

// "a\0b\0\0" -> "a|b"
String FilterText(const char* f) {
  String s;
  while (f && *f) {
    if (!s.empty()) s += '|';
    s += f;
    f += strlen(f) + 1;
  }
  return s;
}

TRecordingDialogs::TFileDialog Describe(const OPENFILENAMEA& ofn) {
  return {ofn.hwndOwner, OrEmpty(ofn.lpstrTitle), FilterText(ofn.lpstrFilter), OrEmpty(ofn.lpstrInitialDir),
          OrEmpty(ofn.lpstrDefExt), ofn.lpstrFile ? String(ofn.lpstrFile) : String(), ofn.Flags, ofn.nFilterIndex,
          ofn.lStructSize, ofn.nMaxFile};
}

bool Answer(OPENFILENAMEA& ofn, std::vector<String>& names) {
  String name = TakeFront<String>(names, "");
  if (name.empty() || !ofn.lpstrFile || ofn.nMaxFile <= name.size()) return false;
  memcpy(ofn.lpstrFile, name.c_str(), name.size() + 1);
  size_t slash = name.find_last_of("\\/");
  size_t file = slash == String::npos ? 0 : slash + 1;
  size_t dot = name.find_last_of('.');
  ofn.nFileOffset = static_cast<WORD>(file);
  ofn.nFileExtension = static_cast<WORD>(dot == String::npos || dot < file ? 0 : dot + 1);
  return true;
}
}  // namespace

int TRecordingDialogs::MessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
  Boxes.push_back({text, caption, flags, owner});
  return TakeFront(Answers, int(IDOK));
}

bool TRecordingDialogs::GetSaveFileName(OPENFILENAMEA& ofn) {
  SaveDialogs.push_back(Describe(ofn));
  return Answer(ofn, SaveNames);
}

bool TRecordingDialogs::GetOpenFileName(OPENFILENAMEA& ofn) {
  OpenDialogs.push_back(Describe(ofn));
  return Answer(ofn, OpenNames);
}

bool TRecordingDialogs::WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data) {
  Helps.push_back({wnd, helpFile, command, data});
  String topic = (command == HELP_COMMAND && data) ? String(reinterpret_cast<const char*>(data)) : String();
  HelpCalls.push_back(helpFile + "|" + IntToStr(command) + "|" + topic);
  return TakeFront(HelpResults, true);
}

bool TRecordingDialogs::PlaySystemSound(const String& alias, UINT flags) {
  Sounds.push_back({alias, flags});
  return TakeFront(SoundResults, true);
}

bool TRecordingDialogs::ChooseColor(CHOOSECOLORA& cc) {
  std::vector<COLORREF> custom;
  if (cc.lpCustColors) custom.assign(cc.lpCustColors, cc.lpCustColors + 16);
  ColorDialogs.push_back({cc.hwndOwner, cc.rgbResult, cc.Flags, custom});
  if (ColorResults.empty()) return false;
  cc.rgbResult = TakeFront<COLORREF>(ColorResults, 0);
  return true;
}

bool TRecordingDialogs::ChooseFont(CHOOSEFONTA& cf) {
  LOGFONTA lf{};
  if (cf.lpLogFont) lf = *cf.lpLogFont;
  FontDialogs.push_back({cf.hwndOwner, lf, cf.rgbColors, cf.Flags});
  if (FontResults.empty() || !cf.lpLogFont) return false;
  TFontChoice c = TakeFront<TFontChoice>(FontResults, {});
  LOGFONTA& out = *cf.lpLogFont;
  lstrcpynA(out.lfFaceName, c.Face.c_str(), LF_FACESIZE);
  out.lfHeight = c.Height;
  out.lfWeight = c.Weight;
  out.lfItalic = c.Italic;
  cf.rgbColors = c.Color;
  return true;
}

bool TRecordingDialogs::InputQuery(const String& caption, const String& prompt, String& value) {
  InputQueries.push_back({caption, prompt, value});
  TInputAnswer a = TakeFront<TInputAnswer>(InputAnswers, {false, ""});
  if (a.Ok) value = a.Text;
  return a.Ok;
}

TModalResult TRecordingDialogs::MessageDlg(HWND owner, const String& text, const String& caption,
                                          const std::vector<TDlgButton>& buttons) {
  TQuestion q{owner, text, caption, {}};
  for (const auto& b : buttons) q.Buttons.push_back(b.Caption);
  Questions.push_back(q);
  return TakeFront(QuestionAnswers, buttons.empty() ? mrCancel : buttons.front().Result);
}

bool TRecordingDialogs::ShellExecuteFile(HWND wnd, const String& verb, const String& file, const String& parameters,
                                         const String& directory, int showCmd) {
  ShellCalls.push_back({wnd, verb, file, parameters, directory, showCmd});
  return TakeFront(ShellResults, true);
}

TScopedDialogs::TScopedDialogs() : previous_(SetSystemDialogs(&Dialogs)) {}
TScopedDialogs::~TScopedDialogs() { SetSystemDialogs(previous_); }
