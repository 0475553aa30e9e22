// Types the list view and the tree view share.
#pragma once

#include "Controls.h"

#include <commctrl.h>

// When a view keeps itself sorted: never, after a change of Data, of the
// text, or of either.
enum TSortType { stNone, stData, stText, stBoth };

// Where a point lies relative to an item or node.
enum THitTest {
  htAbove, htBelow, htNowhere, htOnItem, htOnButton, htOnIcon, htOnIndent, htOnLabel, htOnRight, htOnStateIcon,
  htToLeft, htToRight,
};
using THitTests = TSet<THitTest>;

// The platform's comparison of two items or nodes (their objects in the
// first two arguments) for CustomSort: negative, zero or positive.
using TViewCompare = int(CALLBACK*)(LPARAM item1, LPARAM item2, LPARAM data);
