// The images of the main window's two image lists (resources/Frame.rc):
// strips of 16x16 images, magenta (clFuchsia) transparent, loaded with
//   list->ResourceLoad(rtBitmap, ImgsmallResource, clFuchsia);
// make-frame-pictures.py draws them in this order.
#pragma once

// Imgsmall: the small images of the directory lists and the profile lists.
constexpr const char* ImgsmallResource = "IMGSMALL";
enum TSmallImage {
  siFile,
  siOpenFolder,
  siDirectory,  // 2: a directory row
  siUpDir,      // 3: the ".." row
  siLink,       // 4: a link row
  siProfile,    // 5: a connection profile
  siCount
};

// Imagebars: the glyphs of the actions (ActionList1's images).
constexpr const char* ImagebarsResource = "IMAGEBARS";
enum TBarGlyph {
  bgQuickCon,
  bgNew,
  bgCloseActive,
  bgPreferences,
  bgNewProfile,
  bgProfiles,
  bgExit,
  bgUpDir,
  bgChangeDir,
  bgMkdDir,
  bgNewLocalDir,
  bgRenameDir,
  bgRemoveDir,
  bgRefreshRemote,
  bgRefreshLocal,
  bgUploadFile,
  bgResumeUp,
  bgDownloadFile,
  bgResumeDown,
  bgDeleteRemote,
  bgRenameRemoteFile,
  bgBatchUpload,
  bgBatchDownload,
  bgBatchDelete,
  bgSaveLog,
  bgDirInfo,
  bgChmod,
  bgChmodDir,
  bgQuote,
  bgListView,
  bgDetailView,
  bgLgIconView,
  bgSmIconView,
  bgToolbars,
  bgStoS,
  bgDNS,
  bgPing,
  bgUrlInfo,
  bgFinger,
  bgLookup,
  bgDialer,
  bgAbout,
  bgHelpDefault,
  bgHelpContents,
  bgHelpIndex,
  bgQmark,
  bgCount
};

// The image of each action that shows one; the raw-command actions (but
// ActionQuote) show none.
struct TActionImage {
  const char* Action;
  TBarGlyph Image;
};
inline constexpr TActionImage ActionImages[] = {
    {"ActionQuickCon", bgQuickCon},
    {"ActionNew", bgNew},
    {"ActionCloseActive", bgCloseActive},
    {"ActionPreferences", bgPreferences},
    {"ActionNewProfile", bgNewProfile},
    {"ActionProfiles", bgProfiles},
    {"ActionExit", bgExit},
    {"ActionUpDir", bgUpDir},
    {"ActionChangeDir", bgChangeDir},
    {"ActionMkdDir", bgMkdDir},
    {"ActionNewLocalDir", bgNewLocalDir},
    {"ActionRenameDir", bgRenameDir},
    {"ActionRemoveDir", bgRemoveDir},
    {"ActionRefreshRemote", bgRefreshRemote},
    {"ActionRefreshLocal", bgRefreshLocal},
    {"ActionUploadFile", bgUploadFile},
    {"ActionResumeUp", bgResumeUp},
    {"ActionDownloadFile", bgDownloadFile},
    {"ActionResumeDown", bgResumeDown},
    {"ActionDeleteRemote", bgDeleteRemote},
    {"ActionRenameRemoteFile", bgRenameRemoteFile},
    {"ActionBatchUpload", bgBatchUpload},
    {"ActionBatchDownload", bgBatchDownload},
    {"ActionBatchDelete", bgBatchDelete},
    {"ActionSaveLog", bgSaveLog},
    {"ActionDirInfo", bgDirInfo},
    {"ActionChmod", bgChmod},
    {"ActionChmodDir", bgChmodDir},
    {"ActionQuote", bgQuote},
    {"ActionListView", bgListView},
    {"ActionDetailView", bgDetailView},
    {"ActionLgIconView", bgLgIconView},
    {"ActionSmIconView", bgSmIconView},
    {"ActionToolbars", bgToolbars},
    {"ActionStoS", bgStoS},
    {"ActionDNS", bgDNS},
    {"ActionPing", bgPing},
    {"ActionUrlInfo", bgUrlInfo},
    {"ActionFinger", bgFinger},
    {"ActionLookup", bgLookup},
    {"ActionDialer", bgDialer},
    {"ActionAbout", bgAbout},
    {"ActionHelpDefault", bgHelpDefault},
    {"ActionHelpContents", bgHelpContents},
    {"ActionHelpIndex", bgHelpIndex},
    {"ActionQmark", bgQmark},
};

// The index of an action's image; -1 for an action that shows none.
constexpr int ActionImageIndex(const char* action) {
  for (const TActionImage& a : ActionImages) {
    const char *p = a.Action, *q = action;
    while (*p && *p == *q) ++p, ++q;
    if (*p == *q) return a.Image;
  }
  return -1;
}
