// Command drag and drop while customizing: the modal loop that follows the
// mouse over the bar windows with the insertion mark, and the drop that
// moves, copies, inserts or deletes a link or changes its group start.
#include <cstdlib>

#include "Dxbarcontrols.h"
#include "customize/Dxbarcustform.h"

namespace {

// Where a drop would land: a control of a bar window and the flags of the
// point on it.
struct TDropPlace {
  TdxBarItemControl* Control = nullptr;
  bool InGroupArea = false;
  bool Before = false;
  bool Vertical = false;
  bool operator==(const TDropPlace&) const = default;
};

TdxBarItemLink* VisibleNeighbour(TdxBarItemLink* link, int step) {
  if (!link) return nullptr;
  TdxBarItemLinks* links = link->Owner();
  int i = links->VisibleIndexOf(link);
  if (i < 0) return nullptr;
  return links->VisibleItems(i + step);
}

// Whether dropping the dragged link (none: a new command) at the place
// changes anything.
bool DropChanges(TdxBarItemLink* link, bool copy, const TDropPlace& at) {
  if (!at.Control) return false;
  if (!link || copy) return true;
  if (at.Control == link->Control()) return at.InGroupArea && at.Before;
  TdxBarItemLink* prev = VisibleNeighbour(link, -1);
  if (prev && prev->Control() == at.Control && !link->BeginGroup() && !at.InGroupArea && !at.Before) return false;
  TdxBarItemLink* next = VisibleNeighbour(link, 1);
  if (!next) return true;
  if (next->Control() != at.Control) return true;
  if (at.InGroupArea && at.Before) return false;
  if (next->BeginGroup()) return true;
  return !at.Before;
}

// The bar window a window belongs to (itself or an ancestor).
TCustomdxBarControl* BarWindowOf(HWND wnd) {
  for (int depth = 0; wnd && depth < 64; ++depth, wnd = GetParent(wnd))
    if (auto* bar = dynamic_cast<TCustomdxBarControl*>(TObjectWindowClass::ObjectOf(wnd))) return bar;
  return nullptr;
}

bool Alive(const std::shared_ptr<const bool>& alive) { return alive && *alive; }

}  // namespace

// ---------------------------------------------------------------- the insertion mark

void TdxBarManager::DrawDraggingLine(TdxBarItemControl* control, bool inGroupArea, bool before, bool vertical) {
  if (!control || !control->ItemLink()) return;
  if (inGroupArea) {
    if (before) {
      TdxBarItemLink* prev = VisibleNeighbour(control->ItemLink(), -1);
      if (prev && prev->Control()) control = prev->Control();
    }
    before = !before;
  } else if (!before) {
    TdxBarItemLink* next = VisibleNeighbour(control->ItemLink(), 1);
    if (next && next->Control() && !next->BeginGroup()) {
      control = next->Control();
      before = true;
    }
  }
  TCustomdxBarControl* bar = control->Parent();
  if (!bar || !bar->HandleAllocated()) return;
  TRect r = bar->GetItemRect(control);
  POINT pts[12];
  if (vertical) {
    int y = before ? r.top : r.bottom - 6, l = r.left, rt = r.right;
    POINT v[12] = {{l, y},          {l, y + 6},          {l + 1, y + 1},      {l + 1, y + 5},
                   {l + 2, y + 2},  {rt - 2, y + 2},     {l + 2, y + 3},      {rt - 2, y + 3},
                   {rt - 2, y + 1}, {rt - 2, y + 5},     {rt - 1, y},         {rt - 1, y + 6}};
    std::copy(v, v + 12, pts);
  } else {
    int x = before ? r.left : r.right - 6, t = r.top, b = r.bottom;
    POINT h[12] = {{x, t},         {x + 6, t},         {x + 1, t + 1},     {x + 5, t + 1},
                   {x + 2, t + 2}, {x + 2, b - 2},     {x + 3, t + 2},     {x + 3, b - 2},
                   {x + 1, b - 2}, {x + 5, b - 2},     {x, b - 1},         {x + 6, b - 1}};
    std::copy(h, h + 12, pts);
  }
  static const DWORD counts[6] = {2, 2, 2, 2, 2, 2};
  HDC dc = GetDC(bar->Handle());
  int oldRop = SetROP2(dc, R2_NOT);
  PolyPolyline(dc, pts, counts, 6);
  SetROP2(dc, oldRop);
  ReleaseDC(bar->Handle(), dc);
}

// ---------------------------------------------------------------- the drag loop and the drop

void TdxBarManager::DragAndDrop(TdxBarItem* item, TdxBarItemLink* link) {
  if (!item || dragging_) return;
  draggingItem_ = item;
  draggingItemLink_ = link;
  dragging_ = true;
  TCustomdxBarControl* sourceBar = link ? link->BarControl() : nullptr;
  TPoint grab;
  TRect sourceRect = link ? link->ItemRect() : TRect();
  if (sourceBar && sourceBar->HandleAllocated()) {
    TPoint c = sourceBar->ScreenToClient(dxBarSystem()->GetCursorPos());
    grab = TPoint(c.x - sourceRect.left, c.y - sourceRect.top);
  }
  // The dragged link is gone (its item or bar was freed meanwhile).
  auto linkGone = [&] { return link && draggingItemLink_ != link; };

  // The thread's own key state too: the asynchronous one may lag behind.
  bool ctrlDown = ((dxBarSystem()->GetAsyncKeyState(VK_CONTROL) | dxBarSystem()->GetKeyState(VK_CONTROL)) & 0x8000) != 0;
  bool ctrlChanged = false, moved = false, dropped = false, cancelled = false;
  TCursor savedCursor = ScreenCursor();
  HWND capture = GetWindowForMouseCapturing();
  SetCapture(capture);

  TCustomdxBarControl* target = nullptr;
  TdxBarControlRef targetRef;
  TDropPlace place;
  std::shared_ptr<const bool> placeAlive;
  // The mark as drawn, to erase it the same way.
  bool drawn = false;
  TDropPlace drawnAt;
  std::shared_ptr<const bool> drawnAlive;
  TPoint lastPoint;

  auto draw = [&](const TDropPlace& at) {
    if (TCustomdxBarControl* bar = at.Control->Parent(); bar && bar->HandleAllocated()) UpdateWindow(bar->Handle());
    DrawDraggingLine(at.Control, at.InGroupArea, at.Before, at.Vertical);
    drawn = true;
    drawnAt = at;
    drawnAlive = at.Control->Alive();
  };
  auto erase = [&] {
    if (drawn && Alive(drawnAlive)) DrawDraggingLine(drawnAt.Control, drawnAt.InGroupArea, drawnAt.Before, drawnAt.Vertical);
    drawn = false;
  };
  auto currentPlace = [&]() -> TDropPlace { return Alive(placeAlive) ? place : TDropPlace(); };

  auto moveStep = [&] {
    moved = true;
    TPoint p = dxBarSystem()->GetCursorPos();
    lastPoint = p;
    HWND w = WindowFromPointDeep(p);
    TCustomdxBarControl* newTarget = nullptr;
    TCustomdxBarControl* under = BarWindowOf(w);
    if (under && under->BarManager() == this) {
      newTarget = under;
    } else if (!under) {
      TdxBarCustomizingForm* form = dxBarCustomizingForm();
      bool inForm = false;
      if (form && form->HandleAllocated()) {
        RECT fr;
        ::GetWindowRect(form->Handle(), &fr);
        inForm = PtInRect(&fr, p) != 0;
      }
      if (!inForm)
        for (int i = 0; i < bars_->Count() && !newTarget; ++i)
          if (TCustomdxBarControl* c = bars_->Items(i)->Control(); c && c->WantMouse()) newTarget = c;
    }
    if (newTarget && !newTarget->CanCustomizing()) newTarget = nullptr;
    TDropPlace newPlace;
    TPoint client;
    if (newTarget) {
      client = newTarget->ScreenToClient(p);
      newPlace.Control = newTarget->ItemAtPosEx(client, newPlace.InGroupArea, newPlace.Vertical, newPlace.Before);
    }
    TCursor cursor = (!newTarget || (!newPlace.Control && newTarget->HasVisibleLinks())) ? crdxBarDragNoDrop
                     : (ctrlDown || !link)                                               ? crdxBarDragCopy
                                                                                         : crdxBarDrag;
    ::SetCursor(CursorHandle(cursor));
    target = newTarget;
    targetRef = TdxBarControlRef(newTarget);
    if (!newTarget) {
      erase();
      place = TDropPlace();
      placeAlive = nullptr;
      ctrlChanged = false;
      return;
    }
    auto* menu = dynamic_cast<TdxBarSubMenuControl*>(newTarget);
    if (menu && menu->Scrolling()) {
      erase();
      place = TDropPlace();
      placeAlive = nullptr;
    } else if (!(newPlace == currentPlace()) || ctrlChanged) {
      // A mark is drawn only where the drop changes something, for the Ctrl
      // state of then: it goes, and comes back for the new place and state.
      erase();
      if (newPlace.Control && newPlace.Control != currentPlace().Control) {
        auto* selected = newTarget->SelectedControl();
        if (dynamic_cast<TdxBarSubItemControl*>(newPlace.Control) || dynamic_cast<TdxBarSubItemControl*>(selected)) {
          newTarget->SetMouseSelectedItem(newPlace.Control);
        } else {
          newTarget->SetSelectedItem(newPlace.Control);
          SetSelectedItem(newPlace.Control);
        }
      }
      if (!BarControlExists(targetRef)) {
        target = nullptr;
        place = TDropPlace();
        placeAlive = nullptr;
        return;
      }
      place = newPlace;
      placeAlive = newPlace.Control ? newPlace.Control->Alive() : nullptr;
      if (!drawn && place.Control && DropChanges(link, ctrlDown, place)) draw(place);
      ctrlChanged = false;
    }
    if (menu && BarControlExists(targetRef) && menu->HandleAllocated()) {
      SendMessageA(menu->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
      if (BarControlExists(targetRef) && menu->Scrolling()) {
        erase();
        place = TDropPlace();
        placeAlive = nullptr;
      }
    }
  };

  // A release the loop never sees (taken before the drag began) would keep
  // it waiting for the next click: a thread timer looks at the button, and
  // one found up on two ticks in a row with no release queued ends the drag
  // without a drop.
  UINT_PTR releaseWatch = ::SetTimer(nullptr, 0, 100, nullptr);
  int upTicks = 0;
  auto releaseLost = [&] {
    MSG up;
    bool queued = PeekMessageA(&up, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE);
    upTicks = LeftButtonPressed() || queued ? 0 : upTicks + 1;
    return upTicks >= 2;
  };

  auto finishLoop = [&] {
    if (releaseWatch) ::KillTimer(nullptr, releaseWatch);
    erase();
    if (GetCapture() == capture) ReleaseCapture();
    SetScreenCursor(savedCursor);
    ::SetCursor(CursorHandle(savedCursor == crDefault ? crArrow : savedCursor));
    dragging_ = false;
  };

  try {
    dxBarMessageLoop(
        [&](MSG& msg) {
          if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) {
            if (msg.wParam == VK_CONTROL) {
              bool down = msg.message == WM_KEYDOWN;
              ctrlChanged = ctrlDown != down;
              ctrlDown = down;
              moveStep();
            } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
              cancelled = true;
            }
            return true;
          }
          if (msg.message == WM_LBUTTONUP) {
            dropped = true;
            return true;
          }
          if (msg.message == WM_TIMER && !msg.hwnd && msg.wParam == releaseWatch) {
            if (releaseLost()) cancelled = true;
            return true;
          }
          if (msg.message == WM_MOUSEMOVE) {
            moveStep();
            return true;
          }
          return false;
        },
        // A command or link freed meanwhile ends the drag without a drop.
        [&] { return dropped || cancelled || GetCapture() != capture || item != draggingItem_ || linkGone(); });
  } catch (...) {
    finishLoop();
    draggingItem_ = nullptr;
    draggingItemLink_ = nullptr;
    throw;
  }
  finishLoop();

  auto finishDrop = [&] {
    draggingItem_ = nullptr;
    if (draggingItemLink_ && !linkGone() && link->Control()) link->Control()->Repaint();
    draggingItemLink_ = nullptr;
  };
  if (!dropped || !moved || linkGone() || (item != draggingItem_)) {
    finishDrop();
    return;
  }
  TDropPlace at = currentPlace();
  if (!BarControlExists(targetRef)) target = nullptr;

  // Off every bar: a moved link goes.
  if (!target) {
    if (link && !ctrlDown) {
      TCustomdxBarControl* bar = link->BarControl();
      TdxBarControlRef barRef(bar);
      // Freed while still the dragged link: its group start stays with the bar.
      link->Free();
      link = nullptr;
      DesignerModified();
      if (BarControlExists(barRef)) bar->RepaintBar();
    } else if (mouseTrackedItem_ && mouseTrackedItem_->Parent()) {
      mouseTrackedItem_->Parent()->RepaintBar();
    }
    mouseTrackedItem_ = nullptr;
    finishDrop();
    return;
  }

  // A small sideways drag of a link onto its own place changes its group start.
  if (at.Control && link && (at.Control == link->Control() || !DropChanges(link, ctrlDown, at)) && !ctrlDown &&
      !(at.InGroupArea && at.Before)) {
    TCustomdxBarControl* bar = link->BarControl();
    if (bar && bar->HandleAllocated()) {
      bool vertical = IsToolbarControlVertical(bar) || dynamic_cast<TdxBarSubMenuControl*>(bar);
      TPoint c = bar->ScreenToClient(lastPoint);
      TRect r = link->ItemRect();
      int delta = vertical ? c.y - r.top - grab.y : c.x - r.left - grab.x;
      if (std::abs(delta) >= 4 && link->Control()) {
        if (link->BeginGroup() != (delta > 0)) {
          TdxBarControlRef barRef(bar);
          bar->SetSelectedItem(link->Control());
          if (BarControlExists(barRef) && link->Control()) {
            mouseTrackedItem_ = link->Control();
            link->SetBeginGroup(delta > 0);
            DesignerModified();
          }
        } else {
          bar->SetKeySelectedItem(link->Control());
        }
      }
    }
    finishDrop();
    return;
  }

  // An empty place counts only on an empty bar.
  if (!at.Control) {
    TPoint c = target->ScreenToClient(lastPoint);
    if (!(target->ClientRect().Contains(c) && !target->HasVisibleLinks())) {
      SetSelectedItem(nullptr);
      target->SetSelectedControl(nullptr);
      finishDrop();
      return;
    }
  }

  TdxBarItemLinks* links = target->ItemLinks();
  if (!links) {
    finishDrop();
    return;
  }
  TdxBarItemLinks* oldOwner = link ? link->Owner() : nullptr;
  TdxBarItemLink* newLink = links->Add();
  newLink->SetRecentIndex(0);
  try {
    newLink->SetItem(item);
  } catch (...) {
    // A sub item cannot hold itself: the placement is not made.
    newLink->Free();
    finishDrop();
    throw;
  }
  if (link) {
    newLink->Assign(link);
    newLink->SetBeginGroup(false);
  }
  if (at.Control && at.Control->ItemLink()) {
    TdxBarItemLink* targetLink = at.Control->ItemLink();
    newLink->SetIndex(targetLink->Index() + (!at.InGroupArea && !at.Before ? 1 : 0));
    bool newBegin = (at.InGroupArea && !at.Before) || (at.Before && !at.InGroupArea && targetLink->BeginGroup());
    if (newBegin) {
      newLink->SetBeginGroup(true);
      bool locked = target->ControlsLocked();
      target->SetControlsLocked(true);
      targetLink->SetBeginGroup(false);
      if (BarControlExists(targetRef)) target->SetControlsLocked(locked);
    }
  }
  if (BarControlExists(targetRef)) {
    newLink->CreateControl();
    if (newLink->Control()) {
      mouseTrackedItem_ = newLink->Control();
      target->SetSelectedControl(newLink->Control());
      SetSelectedItem(newLink->Control());
    }
  }
  if (link && !ctrlDown) {
    link->Free();
    link = nullptr;
    if (oldOwner != links && BarControlExists(targetRef)) target->RepaintBar();
  } else if (BarControlExists(targetRef)) {
    target->RepaintBar();
  }
  DesignerModified();
  if (BarControlExists(targetRef)) {
    auto* toolbar = dynamic_cast<TdxBarControl*>(target);
    TCustomdxBarControl* active = ActiveBarControl();
    if (toolbar && active && active != toolbar) {
      active->HideAll();
      if (BarControlExists(targetRef)) toolbar->BarGetFocus(newLink->Control());
    }
  }
  finishDrop();
}
