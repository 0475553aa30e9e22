// Painting of the toolbar window: its frame (border, gripper, floating
// caption with close button and mark, status-bar size grip) and its client
// area (items, group separators, MDI buttons, the More Buttons mark), in
// the three styles. The background is filled last, through the region no
// item covered, so no pixel is painted twice.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Dxbarcontrols.h"

namespace {

void Fill(HDC dc, const TRect& r, HBRUSH b) {
  if (!r.Empty()) FillRect(dc, &r, b);
}

void FillColor(HDC dc, const TRect& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  Fill(dc, r, b);
  DeleteObject(b);
}

// The ring between outer and inner.
void FillRing(HDC dc, const TRect& outer, const TRect& inner, HBRUSH b) {
  HRGN o = CreateRectRgn(outer.left, outer.top, outer.right, outer.bottom);
  HRGN i = CreateRectRgn(inner.left, inner.top, inner.right, inner.bottom);
  CombineRgn(o, o, i, RGN_DIFF);
  FillRgn(dc, o, b);
  DeleteObject(i);
  DeleteObject(o);
}

class TPenScope {
 public:
  TPenScope(HDC dc, COLORREF color) : dc_(dc), pen_(CreatePen(PS_SOLID, 1, color)) { old_ = SelectObject(dc, pen_); }
  ~TPenScope() {
    SelectObject(dc_, old_);
    DeleteObject(pen_);
  }
  TPenScope(const TPenScope&) = delete;
  TPenScope& operator=(const TPenScope&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HGDIOBJ old_;
};

void Stroke(HDC dc, std::initializer_list<POINT> points) {
  std::vector<POINT> p(points);
  Polyline(dc, p.data(), static_cast<int>(p.size()));
}

// A solid triangle in one colour.
void Triangle(HDC dc, POINT a, POINT b, POINT c, COLORREF color) {
  TPenScope pen(dc, color);
  HBRUSH brush = CreateSolidBrush(color);
  HGDIOBJ old = SelectObject(dc, brush);
  POINT p[3] = {a, b, c};
  Polygon(dc, p, 3);
  SelectObject(dc, old);
  DeleteObject(brush);
}

void ExcludeRect(HRGN region, const TRect& r) {
  if (r.Empty()) return;
  HRGN x = CreateRectRgn(r.left, r.top, r.right, r.bottom);
  CombineRgn(region, region, x, RGN_DIFF);
  DeleteObject(x);
}

}  // namespace

COLORREF TdxBarControl::GetCaptionBkColor() {
  if (Flat()) return GetSysColor(COLOR_INACTIVECAPTION);
  return dxBarFormIsActive(manager_ ? manager_->MainForm() : nullptr) ? GetSysColor(COLOR_ACTIVECAPTION)
                                                                       : GetSysColor(COLOR_INACTIVECAPTION);
}

// ---------------------------------------------------------------- items

void TdxBarControl::PaintItem(TdxBarItemControl* control) {
  if (!control || !bar_ || bar_->LockUpdate() || !HandleAllocated()) return;
  TCustomdxBarControl::PaintItem(control);
  TRect r = GetItemRect(control);
  if (r.Empty()) return;
  TCanvas* canvas = Canvas();
  canvas->SaveClip();
  canvas->ClipRect(r);
  control->Paint(r, Vertical() ? ptVert : ptHorz);
  DrawSelectedItem(control);
  canvas->RestoreClip();
}

// ---------------------------------------------------------------- client

void TdxBarControl::Paint() {
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  if (!form || !form->HandleAllocated() || !IsWindowVisible(form->Handle())) return;
  if (!bar_ || bar_->LockUpdate() || !HandleAllocated()) return;
  CalcControlsPositions();
  if (manager_ && !manager_->IsDesigning() && itemLinks_)
    for (int i = 0; i < itemLinks_->CanVisibleItemCount(); ++i) {
      TdxBarItemLink* link = itemLinks_->CanVisibleItems(i);
      if (link->Item() && link->Item()->NeedToBeHidden() && link->VisibleIndex() < 0 && link->Control())
        link->Item()->HideControl(link->Control());
    }
  if (manager_ && manager_->Style() != bmsStandard) {
    HDC wdc = GetWindowDC(handle_);
    NCPaint(wdc);
    ReleaseDC(handle_, wdc);
  }
  HDC dc = Canvas()->Handle();
  TRect client = ClientRect();
  HRGN region = CreateRectRgn(client.left, client.top, client.right, client.bottom);
  if (itemLinks_)
    for (int i = 0; i < itemLinks_->VisibleItemCount(); ++i) {
      TdxBarItemLink* link = itemLinks_->VisibleItems(i);
      TdxBarItemControl* control = link->Control();
      if (!control || link->ItemRect().Empty()) continue;
      PaintItem(control);
      ExcludeRect(region, link->ItemRect());
    }
  dc = Canvas()->Handle();
  DrawSeparators(dc, region);
  if (MDIButtonsOnBar()) {
    if (RealMDIButtonsOnBar()) {
      for (TdxBarMDIButton b : {mdibMinimize, mdibRestore, mdibClose}) {
        DrawMDIButton(dc, b, false);
        ExcludeRect(region, RectMDI(b));
      }
    } else {
      DrawMDIButton(dc, mdibClose, false);
      ExcludeRect(region, RectMDI(mdibClose));
    }
  }
  if (dockingStyle_ != dsNone && MarkExists()) {
    DrawMarkClient(dc);
    ExcludeRect(region, MarkRect());
  }
  FillRgn(dc, region, GetToolbarBrush());
  DeleteObject(region);
}

void TdxBarControl::DrawSeparators(HDC dc, HRGN region) {
  if (!itemLinks_) return;
  HBRUSH b = GetToolbarBrush();
  int band = GetBeginGroupSize();
  int m = (band - (Flat() ? 1 : 2)) / 2;
  TRect client = ClientRect();
  for (int i = 0; i < itemLinks_->VisibleItemCount(); ++i) {
    TdxBarItemLink* link = itemLinks_->VisibleItems(i);
    TdxBarItemControl* control = link->Control();
    if (!control) continue;
    control->SetSeparatorRect(TRect());
    const TRect& r = link->ItemRect();
    if (r.Empty() || !link->BeginGroup()) continue;
    int cross = std::max(link->LineCrossSize(), Vertical() ? r.Width() : r.Height());
    TRect sep;
    bool across;  // a horizontal line
    if (Vertical() && r.top > 0) {
      across = true;
      int left = r.left + (r.Width() - cross) / 2;
      sep = TRect(left, r.top - band, left + cross, r.top);
    } else if (!Vertical() && MultiLine() && r.left == 0 && r.top > 0) {
      across = true;
      int lineTop = r.top - (cross - r.Height()) / 2;
      int right = client.right - (dockingStyle_ != dsNone && MarkExists() ? dxBarMarkSize : 0);
      sep = TRect(0, lineTop - band, right, lineTop);
    } else if (Vertical()) {
      across = false;
      sep = TRect(r.right, r.top, r.right + band, r.bottom);
    } else {
      across = false;
      int top = r.top - (cross - r.Height()) / 2;
      sep = TRect(r.left - band, top, r.left, top + cross);
    }
    if (sep.Empty()) continue;
    control->SetSeparatorRect(sep);
    ExcludeRect(region, sep);
    // The margins either side of the line, then the line.
    TRect line = sep;
    if (across) {
      Fill(dc, TRect(sep.left, sep.top, sep.right, sep.top + m), b);
      Fill(dc, TRect(sep.left, sep.bottom - m, sep.right, sep.bottom), b);
      line.top += m;
      line.bottom -= m;
    } else {
      Fill(dc, TRect(sep.left, sep.top, sep.left + m, sep.bottom), b);
      Fill(dc, TRect(sep.right - m, sep.top, sep.right, sep.bottom), b);
      line.left += m;
      line.right -= m;
    }
    if (Flat()) {
      TRect first = across ? TRect(line.left, line.top, line.right, line.top + 1)
                           : TRect(line.left, line.top, line.left + 1, line.bottom);
      FillColor(dc, first, GetSysColor(COLOR_BTNSHADOW));
      TRect rest = across ? TRect(line.left, line.top + 1, line.right, line.bottom)
                          : TRect(line.left + 1, line.top, line.right, line.bottom);
      Fill(dc, rest, b);
    } else {
      Fill(dc, line, b);
      DrawEdge(dc, &line, EDGE_ETCHED, across ? BF_TOP : BF_LEFT);
    }
  }
}

void TdxBarControl::DrawMDIButton(HDC dc, TdxBarMDIButton button, bool pressed) {
  TRect r = RectMDI(button);
  bool closeOnly = !RealMDIButtonsOnBar();
  bool flatLook = Flat() || (closeOnly && manager_ && manager_->FlatCloseButton());
  UINT state = button == mdibMinimize ? DFCS_CAPTIONMIN : button == mdibRestore ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONCLOSE;
  if (!MDIButtonEnabled(button, MF_GRAYED)) state |= DFCS_INACTIVE;
  if (pressed && !Flat()) state |= DFCS_PUSHED;
  if (flatLook) {
    state |= DFCS_FLAT;
    HRGN saved = CreateRectRgn(0, 0, 0, 0);
    bool hadClip = GetClipRgn(dc, saved) == 1;
    IntersectClipRect(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    TRect inner = r;
    DrawFrameControl(dc, &inner, DFC_CAPTION, state);
    SelectClipRgn(dc, hadClip ? saved : nullptr);
    DeleteObject(saved);
    if (Flat())
      FrameRect(dc, &r, GetToolbarBrush());
    else
      DrawEdge(dc, &r, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    return;
  }
  TRect inner = r;
  DrawFrameControl(dc, &inner, DFC_CAPTION, state);
}

void TdxBarControl::DrawMarkClient(HDC dc) {
  TRect r = MarkRect();
  HBRUSH b = GetToolbarBrush();
  TdxBarManagerStyle style = manager_ ? manager_->Style() : bmsStandard;
  if (style == bmsStandard) {
    Fill(dc, r, b);
  } else if (Flat() && markState_ == msPressed) {
    DrawBarControlOwner(dc, r, nullptr);
  } else {
    TRect inner = r;
    HBRUSH fill = b;
    if (markState_ == msNone) {
      FrameRect(dc, &inner, b);
    } else if (style == bmsEnhanced) {
      DrawEdge(dc, &inner, markState_ == msSelected ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
    } else {
      FrameFlatSelRect(dc, inner);
      if (markState_ == msSelected) fill = GetToolbarSelBrush();
    }
    InflateRect(&inner, -1, -1);
    Fill(dc, inner, fill);
  }
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  bool low = r.Height() < 17;
  if (style != bmsStandard) {
    // The customize arrow.
    if (Horizontal()) {
      int x = r.left + 3, y = r.bottom - 7 + (low ? 1 : 0);
      Triangle(dc, {x, y}, {x + 4, y}, {x + 2, y + 2}, text);
    } else {
      int x = r.left + 5, y = r.top + 3;
      Triangle(dc, {x, y}, {x, y + 4}, {x - 2, y + 2}, text);
    }
  }
  if (!hasHiddenItems_) return;
  int cw = ClientRect().Width();
  COLORREF high = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
  if (Horizontal()) {
    for (int x : {r.left + 2, r.left + 6}) {
      if (style != bmsStandard) {
        int d = low ? 1 : 0;
        TPenScope pen(dc, text);
        Stroke(dc, {{x, 4 - d}, {x + 2, 6 - d}, {x - 1, 9 - d}});
        Stroke(dc, {{x + 1, 4 - d}, {x + 3, 6 - d}, {x, 9 - d}});
      } else {
        {
          TPenScope pen(dc, high);
          Stroke(dc, {{x - 1, 1}, {x + 2, 4}});
          Stroke(dc, {{x + 3, 4}, {x - 1, 8}});
        }
        TPenScope pen(dc, shadow);
        Stroke(dc, {{x, 1}, {x + 2, 3}, {x + 2, 4}, {x - 1, 7}});
      }
    }
  } else {
    int x0 = cw - 8;
    for (int y : {r.bottom - 9, r.bottom - 5}) {
      if (style != bmsStandard) {
        TPenScope pen(dc, text);
        Stroke(dc, {{x0, y}, {x0 + 2, y + 2}, {x0 + 5, y - 1}});
        Stroke(dc, {{x0, y + 1}, {x0 + 2, y + 3}, {x0 + 5, y}});
      } else {
        {
          TPenScope pen(dc, shadow);
          Stroke(dc, {{x0, y}, {x0 + 4, y + 4}});
          Stroke(dc, {{x0 + 4, y + 1}, {x0 + 6, y - 1}});
        }
        TPenScope pen(dc, high);
        Stroke(dc, {{x0 + 1, y}, {x0 + 3, y + 2}, {x0 + 4, y + 2}, {x0 + 7, y - 1}});
      }
    }
  }
}

void TdxBarControl::InvalidateMark() {
  if (!HandleAllocated() || destroyed_) return;
  if (dockingStyle_ != dsNone) {
    TRect r = MarkRect();
    InvalidateRect(handle_, &r, FALSE);
    return;
  }
  HDC dc = GetWindowDC(handle_);
  DrawMarkNC(dc);
  ReleaseDC(handle_, dc);
}

// ---------------------------------------------------------------- frame

void TdxBarControl::DrawCaptionElement(HDC dc, const TRect& r, TdxBarMarkState state) {
  if (state == msNone) {
    FillColor(dc, r, GetCaptionBkColor());
    return;
  }
  FrameFlatSelRect(dc, r);
  TRect inner = r;
  InflateRect(&inner, -1, -1);
  Fill(dc, inner, state == msSelected ? GetToolbarSelBrush() : GetToolbarDownedSelBrush());
}

void TdxBarControl::DrawCloseButton(HDC dc) {
  TRect r = CloseButtonRectNC();
  if (!Flat()) {
    HBRUSH caption = CreateSolidBrush(GetCaptionBkColor());
    FrameRect(dc, &r, caption);
    DeleteObject(caption);
    InflateRect(&r, -1, -1);
    DrawFrameControl(dc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE | (closeButtonState_ == msPressed ? DFCS_PUSHED : 0));
    return;
  }
  DrawCaptionElement(dc, r, closeButtonState_);
  TRect x = r;
  InflateRect(&x, -3, -4);
  TPenScope pen(dc, GetSysColor(closeButtonState_ == msSelected ? COLOR_BTNTEXT : COLOR_CAPTIONTEXT));
  for (int i = 0; i < 2; ++i) {
    Stroke(dc, {{x.left + i, x.top}, {x.right + i, x.bottom}});
    Stroke(dc, {{x.right - 1 + i, x.top}, {x.left - 1 + i, x.bottom}});
  }
}

void TdxBarControl::SetCloseButtonState(TdxBarMarkState value) {
  if (value == closeButtonState_) return;
  closeButtonState_ = value;
  if (!HandleAllocated() || dockingStyle_ != dsNone || !bar_ || !bar_->CanClose()) return;
  HDC dc = GetWindowDC(handle_);
  DrawCloseButton(dc);
  ReleaseDC(handle_, dc);
}

void TdxBarControl::DrawMarkNC(HDC dc) {
  if (dockingStyle_ != dsNone || !MarkExists()) return;
  TRect r = MarkNCRect();
  COLORREF caption = GetCaptionBkColor();
  bool flat = Flat();
  if (flat) {
    if (bar_ && bar_->CanClose()) FillColor(dc, TRect(r.right, r.top, r.right + 1, r.bottom), caption);
    if (markState_ == msPressed)
      DrawBarControlOwner(dc, r, nullptr);
    else
      DrawCaptionElement(dc, r, markState_);
  } else {
    FillColor(dc, r, caption);
  }
  int x = r.left + (r.Width() - 7) / 2, y = r.top + (r.Height() - 4) / 2;
  COLORREF color = GetSysColor(flat && markState_ != msNone ? COLOR_BTNTEXT : COLOR_CAPTIONTEXT);
  Triangle(dc, {x, y}, {x + 6, y}, {x + 3, y + 3}, color);
}

void TdxBarControl::NCPaint(HDC dc) {
  if (!bar_ || !manager_ || !HandleAllocated()) return;
  TRect w = GetWindowRect();
  TRect W(0, 0, w.Width(), w.Height());
  TRect C = ClientInWindow();
  HBRUSH b = GetToolbarBrush();
  bool flat = Flat();
  TdxBarManagerStyle style = manager_->Style();
  if (dockingStyle_ != dsNone && bar_->BorderStyle() == bbsNone) {
    if (!bar_->IsStatusBar()) return;
    FillColor(dc, TRect(C.left, C.top - 2, C.right, C.top), GetSysColor(COLOR_BTNFACE));
    if (hasSizeGrip_) {
      int cx = GetSystemMetrics(SM_CXHSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
      TRect grip(W.right - cx, W.bottom - cy, W.right, W.bottom);
      DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
      Fill(dc, TRect(C.right, C.top - 2, W.right, W.bottom - cy), b);
    }
    return;
  }
  if (dockingStyle_ == dsNone) {
    TRect r = W;
    if (flat) {
      FrameRect(dc, &r, manager_->FlatToolbarsBorderBrush());
      InflateRect(&r, -1, -1);
      FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
      InflateRect(&r, -1, -1);
    } else {
      DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
      InflateRect(&r, -2, -2);
      for (int i = 0; i < 2; ++i) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&r, -1, -1);
      }
    }
    // Everything between the border and the client, the 4, 2 and 1 pixels
    // around a captioned client included (nothing else paints them).
    if (!r.Empty()) FillRing(dc, r, C, b);
    if (!hasCaption_) return;
    // The caption.
    TRect caption = GetCaptionNCRect();
    Fill(dc, TRect(caption.left, caption.bottom, caption.right, caption.bottom + 1), b);
    COLORREF bk = GetCaptionBkColor();
    if (bar_->CanClose()) {
      DrawCloseButton(dc);
      caption.right = CloseButtonRectNC().left;
    }
    TRect text = caption;
    bool mark = MarkExists();
    TRect markRect = mark ? MarkNCRect() : TRect();
    if (mark) {
      if (flat) {
        caption.right = markRect.left;
        text.right = markRect.left;
      } else {
        caption.left = markRect.right;
      }
    }
    int textLeft = !flat && mark ? markRect.right + 3 : caption.left + 2;
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    LOGFONTA lf = ncm.lfSmCaptionFont;
    if (!manager_->UseSystemFont()) {
      LOGFONTA own{};
      GetObjectA(bar_->Font()->Handle(), sizeof own, &own);
      std::memcpy(lf.lfFaceName, own.lfFaceName, sizeof lf.lfFaceName);
      if (std::abs(lf.lfHeight) < 11) lf.lfHeight = -11;
    }
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    SetBkColor(dc, bk);
    SIZE s{};
    String title = bar_->Caption();
    GetTextExtentPoint32A(dc, title.c_str(), static_cast<int>(title.size()), &s);
    int y = caption.top + (caption.Height() - s.cy) / 2;
    TRect opaque(caption.left, caption.top, std::max(caption.left, text.right), caption.bottom);
    ExtTextOutA(dc, textLeft, y, ETO_OPAQUE | ETO_CLIPPED, &opaque, title.c_str(), static_cast<UINT>(title.size()),
                nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    if (mark) DrawMarkNC(dc);
    return;
  }
  // Docked with a single border: the ring, the border, the gripper.
  TRect ring = W;
  InflateRect(&ring, -1, -1);
  FillRing(dc, ring, C, b);
  TRect inner = W;
  if (flat) {
    FrameRect(dc, &inner, GetSysColorBrush(COLOR_BTNFACE));
    InflateRect(&inner, -1, -1);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (POINT p : {POINT{inner.left, inner.top}, POINT{inner.right - 1, inner.top}, POINT{inner.left, inner.bottom - 1},
                    POINT{inner.right - 1, inner.bottom - 1}})
      SetPixel(dc, p.x, p.y, face);
    InflateRect(&inner, -1, -1);
  } else {
    DrawEdge(dc, &inner, BDR_RAISEDINNER, BF_RECT);
    InflateRect(&inner, -2, -2);
  }
  int shorten = style == bmsEnhanced ? 1 : style == bmsFlat ? 3 : 0;
  int offset = manager_->GripOffset();
  int grips = style == bmsStandard ? 2 : 1;
  for (int g = 0; g < grips; ++g) {
    TRect band = Horizontal() ? TRect(inner.left + offset + 3 * g, inner.top + shorten, inner.left + offset + 3 * g + 3,
                                      inner.bottom - shorten)
                              : TRect(inner.left + shorten, inner.top + offset + 3 * g, inner.right - shorten,
                                      inner.top + offset + 3 * g + 3);
    if (band.Empty()) continue;
    if (flat) {
      COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
      if (Horizontal()) {
        for (int y = band.top; y < band.bottom; ++y) {
          TRect line(band.left, y, band.right, y + 1);
          if ((y - band.top) % 2 == 0)
            FillColor(dc, line, shadow);
          else
            Fill(dc, line, b);
        }
      } else {
        for (int x = band.left; x < band.right; ++x) {
          TRect line(x, band.top, x + 1, band.bottom);
          if ((x - band.left) % 2 == 0)
            FillColor(dc, line, shadow);
          else
            Fill(dc, line, b);
        }
      }
      continue;
    }
    TRect edge = band;
    DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    if (style == bmsStandard) {
      POINT p = Horizontal() ? POINT{band.left, band.bottom - 1} : POINT{band.right - 1, band.top};
      SetPixel(dc, p.x, p.y, GetSysColor(COLOR_BTNHIGHLIGHT));
    }
    TRect face = band;
    InflateRect(&face, -1, -1);
    FillColor(dc, face, GetSysColor(COLOR_BTNFACE));
    ExcludeClipRect(dc, band.left, band.top, band.right, band.bottom);
  }
}
