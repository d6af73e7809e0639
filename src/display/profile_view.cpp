#include "display/profile_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "acquisition/vesk_doc.h"
#include "display/axis_ticks.h"

namespace vesk {
namespace {

constexpr const char* kAllSizes = "All sizes";
constexpr const char* kWindowBins = "Window bins";
constexpr const char* kNoCast =
    "No cast yet: the profile begins once the depth has changed by the "
    "turn hysteresis (Settings > Profiles).";
constexpr const char* kDepthAxis = "Depth (m)";
constexpr const char* kConcentrationAxis = "Concentration (m\u207b\u00b3)";
constexpr const char* kSpectrumAxis = "NBSS (m\u207b\u00b3)";
constexpr const char* kBiovolumeAxis = "Biovolume (mm\u00b3)";
constexpr const char* kCurrentLegend = "current profile";
constexpr const char* kPreviousLegend = "profile before";
constexpr const char* kNoSlope = "no slope (fewer than 3 bins)";

const QColor kCurrent(0, 90, 200);
const QColor kPrevious(150, 150, 150);
constexpr int kMargin = 8;
constexpr int kLeftAxis = 58;
constexpr int kBottomAxis = 40;
constexpr int kRightMargin = 22;  // room for the last label of the x axis

struct PlotFrame {
  QRect plot;  // inside the axes
  double x0, x1, y0, y1;
  bool yDown;  // the y axis grows downward (depth)
  double X(double v) const { return plot.left() + (v - x0) / (x1 - x0) * plot.width(); }
  double Y(double v) const {
    const double f = (v - y0) / (y1 - y0);
    return yDown ? plot.top() + f * plot.height() : plot.bottom() - f * plot.height();
  }
};

// The axes of `area` with nice labels (`logX`, `logY`: the values are decades), and the title.
PlotFrame DrawAxes(QPainter& p, const QRect& area, NiceRange x, NiceRange y, bool yDown, bool logX,
                   bool logY, const QString& xTitle, const QString& yTitle) {
  PlotFrame f{area.adjusted(kLeftAxis, kMargin, -kRightMargin, -kBottomAxis),
              x.minimum,
              x.maximum,
              y.minimum,
              y.maximum,
              yDown};
  p.setPen(Qt::black);
  p.drawRect(f.plot);
  const QFontMetrics fm = p.fontMetrics();
  auto label = [](double v, int decimals, bool log) {
    return log ? QStringLiteral("1e%1").arg(static_cast<int>(std::lround(v)))
               : QString::number(v, 'f', decimals);
  };
  for (double v = x.minimum; v <= x.maximum + x.step / 2; v += x.step) {
    const int px = static_cast<int>(f.X(v));
    p.setPen(QColor(225, 225, 225));
    p.drawLine(px, f.plot.top(), px, f.plot.bottom());
    p.setPen(Qt::black);
    const QString t = label(v, x.decimals, logX);
    p.drawText(px - fm.horizontalAdvance(t) / 2, f.plot.bottom() + fm.height(), t);
  }
  for (double v = y.minimum; v <= y.maximum + y.step / 2; v += y.step) {
    const int py = static_cast<int>(f.Y(v));
    p.setPen(QColor(225, 225, 225));
    p.drawLine(f.plot.left(), py, f.plot.right(), py);
    p.setPen(Qt::black);
    const QString t = label(v, y.decimals, logY);
    p.drawText(f.plot.left() - fm.horizontalAdvance(t) - 4, py + fm.ascent() / 2, t);
  }
  p.drawText(f.plot.left() + (f.plot.width() - fm.horizontalAdvance(xTitle)) / 2,
             f.plot.bottom() + 2 * fm.height() + 2, xTitle);
  p.save();
  p.translate(area.left() + fm.height(), f.plot.center().y() + fm.horizontalAdvance(yTitle) / 2);
  p.rotate(-90);
  p.drawText(0, 0, yTitle);
  p.restore();
  return f;
}

// A profile's line and its interval band.
void DrawProfile(QPainter& p, const PlotFrame& f, const std::vector<LiveDepthBin>& bins,
                 const QColor& colour) {
  QPolygonF band;
  QPolygonF line;
  for (const LiveDepthBin& b : bins) {
    if (!std::isfinite(b.concentration)) continue;
    band << QPointF(f.X(b.ciHigh), f.Y(b.depth));
    line << QPointF(f.X(b.concentration), f.Y(b.depth));
  }
  for (auto it = bins.rbegin(); it != bins.rend(); ++it) {
    if (std::isfinite(it->concentration)) band << QPointF(f.X(it->ciLow), f.Y(it->depth));
  }
  QColor fill = colour;
  fill.setAlpha(60);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPolygon(band);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(colour, 2));
  p.drawPolyline(line);
}

}  // namespace

CProfileView::CProfileView(CVESKDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("profileHeading"));
  QFont bold = heading_->font();
  bold.setBold(true);
  heading_->setFont(bold);
  sizes_ = new QComboBox(this);
  sizes_->setObjectName(QStringLiteral("profileSizes"));
  sizes_->addItems({QString::fromLatin1(kAllSizes), QString::fromLatin1(kWindowBins)});
  top->addWidget(heading_, 1);
  top->addWidget(sizes_);
  layout->addLayout(top);
  layout->addStretch(1);
  connect(sizes_, &QComboBox::currentIndexChanged, this, [this] { ChooseBins(); });
  ChooseBins();
  connect(&timer_, &QTimer::timeout, this, &CProfileView::Refresh);
  timer_.start(kRefreshMs);
  Refresh();
}

void CProfileView::ChooseBins() {
  const ScanSettings& s = doc_.Settings().scan;
  CastBoard& board = doc_.Results().Cast();
  if (sizes_->currentIndex() == 1) {
    board.ChooseBins(s.windowLowerBound, s.windowUpperBound - 1);
  } else {
    board.ChooseBins(0, kExportBinCount - 1);
  }
}

void CProfileView::OnMessage(Uwm message) {
  if (message == Uwm::StartGraph) {
    ChooseBins();
    shown_.reset();
    Refresh();
  }
}

QString CProfileView::Heading() const {
  if (shown_ == nullptr || shown_->status.direction == CastDirection::kNone) {
    if (shown_ != nullptr && !shown_->previous.empty()) {
      return QStringLiteral("Profile %1 ended").arg(shown_->status.profile - 1);
    }
    return QString::fromLatin1(kNoCast);
  }
  const CastStatus& s = shown_->status;
  return QStringLiteral("Profile %1 %2, depth bin %3 m")
      .arg(s.profile)
      .arg(QString::fromLatin1(DirectionName(s.direction)))
      .arg(s.depthBin, 0, 'f', 1);
}

void CProfileView::Refresh() {
  std::shared_ptr<const CastSnapshot> latest = doc_.Results().Cast().Latest();
  if (latest == shown_ && latest != nullptr) return;
  shown_ = std::move(latest);
  heading_->setText(Heading());
  update();
}

void CProfileView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const int top = heading_->geometry().bottom() + kMargin;
  const QRect area(0, top, width(), height() - top);
  const int split = area.width() * 58 / 100;
  PaintDepthPlot(p, QRect(area.left(), area.top(), split, area.height()));
  PaintSpectrum(p, QRect(area.left() + split, area.top(), area.width() - split, area.height()));
}

void CProfileView::PaintDepthPlot(QPainter& p, const QRect& area) const {
  double dLo = std::numeric_limits<double>::infinity(), dHi = -dLo;
  double cHi = 0;
  const std::vector<LiveDepthBin> none;
  const auto& current = shown_ ? shown_->current : none;
  const auto& previous = shown_ ? shown_->previous : none;
  for (const auto* bins : {&current, &previous}) {
    for (const LiveDepthBin& b : *bins) {
      dLo = std::min(dLo, b.depth);
      dHi = std::max(dHi, b.depth);
      if (std::isfinite(b.ciHigh)) cHi = std::max(cHi, b.ciHigh);
    }
  }
  if (!std::isfinite(dLo)) dLo = 0, dHi = 10;
  const PlotFrame f =
      DrawAxes(p, area, ChooseNiceRange(0, cHi > 0 ? cHi : 1, 6),
               ChooseNiceRange(std::min(0.0, dLo), dHi, 8), true, false, false,
               QString::fromUtf8(kConcentrationAxis), QString::fromLatin1(kDepthAxis));
  p.save();
  p.setClipRect(f.plot);
  DrawProfile(p, f, previous, kPrevious);
  DrawProfile(p, f, current, kCurrent);
  p.restore();
  const QFontMetrics fm = p.fontMetrics();
  int y = f.plot.bottom() - kMargin - fm.height();
  for (auto [text, colour] : {std::pair{kCurrentLegend, kCurrent}, {kPreviousLegend, kPrevious}}) {
    p.setPen(QPen(colour, 3));
    p.drawLine(f.plot.right() - 150, y - fm.ascent() / 3, f.plot.right() - 125,
               y - fm.ascent() / 3);
    p.setPen(Qt::black);
    p.drawText(f.plot.right() - 118, y, QString::fromLatin1(text));
    y += fm.height();
  }
}

void CProfileView::PaintSpectrum(QPainter& p, const QRect& area) const {
  std::vector<QPointF> points;  // log10 of biovolume and NBSS
  if (shown_ != nullptr) {
    for (int k = 0; k < kExportBinCount; ++k) {
      const double n = shown_->nbss[k];
      if (std::isfinite(n) && n > 0) {
        points.emplace_back(std::log10(SizeBinBiovolume(k)), std::log10(n));
      }
    }
  }
  double xLo = std::log10(SizeBinBiovolume(0)), xHi = std::log10(SizeBinBiovolume(127));
  double yLo = 0, yHi = 6;
  if (!points.empty()) {
    yLo = yHi = points.front().y();
    for (const QPointF& q : points) yLo = std::min(yLo, q.y()), yHi = std::max(yHi, q.y());
  }
  const NiceRange x{std::floor(xLo), std::ceil(xHi), 1, 0};
  const NiceRange y{std::floor(yLo), std::ceil(yHi),
                    std::ceil(yHi) - std::floor(yLo) > 8 ? 2.0 : 1.0, 0};
  const PlotFrame f = DrawAxes(p, area, x, y, false, true, true, QString::fromUtf8(kBiovolumeAxis),
                               QString::fromUtf8(kSpectrumAxis));
  p.save();
  p.setClipRect(f.plot);
  p.setPen(QPen(kCurrent, 1));
  p.setBrush(kCurrent);
  for (const QPointF& q : points) p.drawEllipse(QPointF(f.X(q.x()), f.Y(q.y())), 2.5, 2.5);
  const SpectrumFit fit = shown_ ? shown_->fit : SpectrumFit{};
  if (std::isfinite(fit.slope)) {
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(QPointF(f.X(x.minimum), f.Y(fit.intercept + fit.slope * x.minimum)),
               QPointF(f.X(x.maximum), f.Y(fit.intercept + fit.slope * x.maximum)));
  }
  p.restore();
  p.setPen(Qt::black);
  const QString slope =
      std::isfinite(fit.slope)
          ? QStringLiteral("slope %1 (%2 bins)").arg(fit.slope, 0, 'f', 2).arg(fit.bins)
          : QString::fromLatin1(kNoSlope);
  p.drawText(f.plot.adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::AlignTop | Qt::AlignRight,
             slope);
}

}  // namespace vesk
