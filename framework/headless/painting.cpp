// Painting and control colours in the headless window: nothing is drawn,
// every call goes to the paint log so that tests see order and leaks.
#include "framework/headless/environment.h"

namespace vornell {

using headless::PaintCall;
using headless::PaintOp;
namespace detail = headless::detail;

namespace {

PaintCall CallOn(const Dialog& dialog, PaintOp op, DcHandle dc) {
  PaintCall call;
  call.op = op;
  call.templateId = dialog.TemplateId();
  call.dc = dc;
  call.dcValid = detail::IsOpenDc(dc);
  return call;
}

}  // namespace

Dialog::PaintScope::PaintScope(Dialog& dialog) : dialog_(dialog) {
  dc_ = detail::OpenDc();
  detail::LogPaint(CallOn(dialog_, PaintOp::kBeginPaint, dc_));
}

Dialog::PaintScope::~PaintScope() {
  detail::LogPaint(CallOn(dialog_, PaintOp::kEndPaint, dc_));
  detail::CloseDc(dc_);
}

void Dialog::DrawIconAt(DcHandle dc, int x, int y, IconHandle icon) {
  PaintCall call = CallOn(*this, PaintOp::kDrawIcon, dc);
  call.x = x;
  call.y = y;
  call.handle = icon;
  detail::LogPaint(call);
}

void Dialog::PaintStretchedBitmap(DcHandle dc, int bitmapId) {
  PaintCall call = CallOn(*this, PaintOp::kStretchBitmap, dc);
  call.value = bitmapId;
  call.dest = GetClientRect();
  const detail::BitmapSize size = detail::BitmapResourceSize(bitmapId);
  call.srcWidth = size.width;
  call.srcHeight = size.height;
  detail::LogPaint(call);
}

void Dialog::FillClientWithSysColor(DcHandle dc, int sysColor) {
  PaintCall call = CallOn(*this, PaintOp::kFillSysColor, dc);
  call.value = sysColor;
  call.dest = GetClientRect();
  detail::LogPaint(call);
}

void Dialog::SetDcTextColor(DcHandle dc, ColorRef color) {
  PaintCall call = CallOn(*this, PaintOp::kSetTextColor, dc);
  call.value = static_cast<long>(color);
  detail::LogPaint(call);
}

void Dialog::SetDcBkColor(DcHandle dc, ColorRef color) {
  PaintCall call = CallOn(*this, PaintOp::kSetBkColor, dc);
  call.value = static_cast<long>(color);
  detail::LogPaint(call);
}

void Dialog::SetDcBkMode(DcHandle dc, int mode) {
  PaintCall call = CallOn(*this, PaintOp::kSetBkMode, dc);
  call.value = mode;
  detail::LogPaint(call);
}

BrushHandle Dialog::OnCtlColor(const CtlColorRequest& request) {
  PaintCall call = CallOn(*this, PaintOp::kBaseCtlColor, request.dc);
  call.handle = request.control;
  call.value = static_cast<long>(request.message);
  detail::LogPaint(call);
  return headless::DefaultCtlColorBrush();
}

}  // namespace vornell
