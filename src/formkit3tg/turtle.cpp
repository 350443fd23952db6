// formkit3tg: draws a turtle picture from its command text ("P2;B15;G1,12,4,380,350;") with GDI.
// The commands are parsed one at a time and drawn at once; a bad command stops the drawing and
// is reported by its number, so a picture never hangs or draws garbage on a typo.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "formkit/fk_palette.h"
#include "formkit3tg/formkit3tg.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr long kMaxNumber = 0x1FFFFFF;     // the largest colour number, FK_RGB(255, 255, 255)
constexpr double kMaxCoordinate = 100000;  // lengths and positions
// No text may keep the picture busy for long: a budget of line segments per drawing.
constexpr long kSegmentBudget = 2000000;

struct Point {
  double x, y;
};

class Turtle {
 public:
  Turtle(HDC dc, int width, int height, int dpi)
      : dc_(dc), width_(width), height_(height), scale_(dpi > 0 ? dpi / 96.0 : 1.0) {
    Home();
  }
  ~Turtle() {
    if (pen_) {
      SelectObject(dc_, GetStockObject(BLACK_PEN));
      DeleteObject(pen_);
    }
  }

  // Runs one command ("G1,12,4,380,350"); false when it is not valid.
  bool Run(const std::string& command) {
    if (command.empty()) return true;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(command[0])));
    std::vector<long> args;
    if (!ParseNumbers(command.substr(1), &args)) return false;
    switch (letter) {
      case 'B':
        return Want(args, 1) && Fill(args[0]);
      case 'C':
        return Want(args, 1) && SetColour(args[0]);
      case 'P':
        if (!Want(args, 1) || args[0] < 1 || args[0] > 64) return false;
        pen_width_ = static_cast<int>(args[0]);
        return true;
      case 'M':
        return Want(args, 2) &&
               MoveTo({static_cast<double>(args[0]), static_cast<double>(args[1])}, false);
      case 'L':
        return Want(args, 2) &&
               MoveTo({static_cast<double>(args[0]), static_cast<double>(args[1])}, true);
      case 'F': {
        if (!Want(args, 1)) return false;
        double rad = heading_ * kPi / 180.0;
        return MoveTo({pos_.x + std::sin(rad) * args[0], pos_.y - std::cos(rad) * args[0]},
                      pen_down_);
      }
      case 'T':
        if (!Want(args, 1)) return false;
        heading_ = std::fmod(heading_ + args[0], 360.0);
        return true;
      case 'A':
        if (!Want(args, 1)) return false;
        heading_ = std::fmod(static_cast<double>(args[0]), 360.0);
        return true;
      case 'U':
        pen_down_ = false;
        return Want(args, 0);
      case 'D':
        pen_down_ = true;
        return Want(args, 0);
      case 'H':
        if (!Want(args, 0)) return false;
        Home();
        return true;
      case 'G':
        return Want(args, 5) && Figure(args);
      default:
        return false;
    }
  }

 private:
  static bool ParseNumbers(const std::string& text, std::vector<long>* out) {
    std::string digits;
    for (char c : text) {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') digits += c;
    }
    if (digits.empty()) return true;
    size_t start = 0;
    for (;;) {
      size_t comma = digits.find(',', start);
      std::string part = digits.substr(start, comma == std::string::npos ? comma : comma - start);
      size_t i = (!part.empty() && (part[0] == '-' || part[0] == '+')) ? 1 : 0;
      if (i >= part.size() || part.size() > 9) return false;
      for (size_t k = i; k < part.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(part[k]))) return false;
      }
      long value = std::stol(part);
      if (value < -kMaxNumber || value > kMaxNumber) return false;
      out->push_back(value);
      if (comma == std::string::npos) return true;
      start = comma + 1;
    }
  }

  static bool Want(const std::vector<long>& args, size_t n) { return args.size() == n; }

  void Home() {
    pos_ = {width_ / scale_ / 2.0, height_ / scale_ / 2.0};
    heading_ = 0;
    pen_down_ = true;
  }

  bool Fill(long colour_number) {
    COLORREF colour = fk::PaletteRgb(static_cast<int>(colour_number));
    if (colour == CLR_INVALID) return false;
    RECT rc{0, 0, width_, height_};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc_, &rc, brush);
    DeleteObject(brush);
    return true;
  }

  bool SetColour(long colour_number) {
    COLORREF colour = fk::PaletteRgb(static_cast<int>(colour_number));
    if (colour == CLR_INVALID) return false;
    colour_ = colour;
    return true;
  }

  // Selects a pen of the current colour and width, scaled to the screen.
  void UsePen(COLORREF colour) {
    int w = std::max(1, static_cast<int>(std::lround(pen_width_ * scale_)));
    HPEN old = pen_;
    pen_ = CreatePen(PS_SOLID, w, colour);
    SelectObject(dc_, pen_);
    if (old) DeleteObject(old);
  }

  POINT Device(Point p) const {
    return POINT{static_cast<LONG>(std::lround(p.x * scale_)),
                 static_cast<LONG>(std::lround(p.y * scale_))};
  }

  bool Spend(long segments) {
    budget_ -= segments;
    return budget_ >= 0;
  }

  bool MoveTo(Point to, bool draw) {
    if (std::fabs(to.x) > kMaxCoordinate || std::fabs(to.y) > kMaxCoordinate) return false;
    if (draw) {
      if (!Spend(1)) return false;
      UsePen(colour_);
      POINT a = Device(pos_), b = Device(to);
      MoveToEx(dc_, a.x, a.y, nullptr);
      LineTo(dc_, b.x, b.y);
    }
    pos_ = to;
    return true;
  }

  void Polyline(const std::vector<Point>& points) {
    std::vector<POINT> device;
    device.reserve(points.size());
    for (const Point& p : points) device.push_back(Device(p));
    ::Polyline(dc_, device.data(), static_cast<int>(device.size()));
  }

  // Gf,c,n,w,h: a figure in a w x h box centred in the picture, shrunk to fit the picture.
  bool Figure(const std::vector<long>& a) {
    long figure = a[0], level = a[2];
    COLORREF colour = fk::PaletteRgb(static_cast<int>(a[1]));
    if (colour == CLR_INVALID || level < 0 || level > 7 || a[3] <= 0 || a[4] <= 0) return false;
    double pw = width_ / scale_, ph = height_ / scale_;
    double shrink = std::min({1.0, pw / a[3], ph / a[4]});
    double bw = a[3] * shrink, bh = a[4] * shrink;
    Point centre{pw / 2.0, ph / 2.0};
    std::vector<std::vector<Point>> lines;
    switch (figure) {
      case 1:
        lines.push_back(Snowflake(centre, bw, bh, static_cast<int>(level)));
        break;
      case 2:
        lines.push_back(Hilbert(centre, std::min(bw, bh), static_cast<int>(level)));
        break;
      case 3:
        lines = Rosette(centre, std::min(bw, bh), static_cast<int>(level) + 3);
        break;
      default:
        return false;
    }
    long segments = 0;
    for (const auto& l : lines) segments += static_cast<long>(l.size());
    if (!Spend(segments)) return false;
    UsePen(colour);
    for (const auto& l : lines) Polyline(l);
    return true;
  }

  // Koch snowflake: a triangle whose sides are replaced `level` times by four thirds.
  static std::vector<Point> Snowflake(Point c, double bw, double bh, int level) {
    // The flake is the triangle's side wide and 2 / sqrt(3) of it high, centred on the
    // triangle's centre (its six points lie on the circumcircle).
    const double kHeightPerSide = 2.0 / std::sqrt(3.0);
    double side = std::min(bw, bh / kHeightPerSide);
    double r = side / std::sqrt(3.0);  // circumradius of the triangle
    Point centre = c;
    std::vector<Point> corners;
    for (int k = 0; k < 3; ++k) {
      double angle = -kPi / 2.0 + k * 2.0 * kPi / 3.0;
      corners.push_back({centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
    }
    std::vector<Point> out{corners[0]};
    for (int k = 0; k < 3; ++k) KochSide(corners[k], corners[(k + 1) % 3], level, &out);
    return out;
  }

  static void KochSide(Point a, Point b, int level, std::vector<Point>* out) {
    if (level == 0) {
      out->push_back(b);
      return;
    }
    Point d{(b.x - a.x) / 3.0, (b.y - a.y) / 3.0};
    Point p1{a.x + d.x, a.y + d.y};
    Point p3{a.x + 2 * d.x, a.y + 2 * d.y};
    // The bump points outwards: the corners go clockwise on screen.
    Point p2{p1.x + d.x * 0.5 + d.y * std::sqrt(3.0) / 2.0,
             p1.y + d.y * 0.5 - d.x * std::sqrt(3.0) / 2.0};
    KochSide(a, p1, level - 1, out);
    KochSide(p1, p2, level - 1, out);
    KochSide(p2, p3, level - 1, out);
    KochSide(p3, b, level - 1, out);
  }

  // Hilbert curve of 2^level x 2^level cells in a square of side `side`.
  static std::vector<Point> Hilbert(Point c, double side, int level) {
    int n = 1 << std::max(level, 1);
    double cell = side / n;
    double left = c.x - side / 2.0, top = c.y - side / 2.0;
    std::vector<Point> out;
    for (int d = 0; d < n * n; ++d) {
      int x = 0, y = 0, t = d;
      for (int s = 1; s < n; s *= 2) {
        int rx = 1 & (t / 2);
        int ry = 1 & (t ^ rx);
        if (ry == 0) {
          if (rx == 1) {
            x = s - 1 - x;
            y = s - 1 - y;
          }
          std::swap(x, y);
        }
        x += s * rx;
        y += s * ry;
        t /= 4;
      }
      out.push_back({left + (x + 0.5) * cell, top + (n - 1 - y + 0.5) * cell});
    }
    return out;
  }

  // `count` squares turned evenly about the centre, each inside the circle of diameter `size`.
  static std::vector<std::vector<Point>> Rosette(Point c, double size, int count) {
    std::vector<std::vector<Point>> out;
    double r = size / 2.0;
    for (int k = 0; k < count; ++k) {
      double turn = k * (kPi / 2.0) / count;
      std::vector<Point> square;
      for (int corner = 0; corner <= 4; ++corner) {
        double angle = turn + corner * kPi / 2.0 + kPi / 4.0;
        square.push_back({c.x + r * std::cos(angle), c.y + r * std::sin(angle)});
      }
      out.push_back(square);
    }
    return out;
  }

  HDC dc_;
  int width_, height_;
  double scale_;
  Point pos_{};
  double heading_ = 0;
  bool pen_down_ = true;
  int pen_width_ = 1;
  COLORREF colour_ = RGB(0, 0, 0);
  HPEN pen_ = nullptr;
  long budget_ = kSegmentBudget;
};

}  // namespace

extern "C" FK3TG_API int __cdecl FK3TG_Render(void* dc, int width, int height, int dpi,
                                              const char* commands) {
  if (!dc || width <= 0 || height <= 0 || !commands) return 0;
  HDC hdc = static_cast<HDC>(dc);
  int saved = SaveDC(hdc);
  int done = 0;
  {
    Turtle turtle(hdc, width, height, dpi);
    std::string text = commands;
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
      size_t semi = text.find(';', start);
      std::string command = text.substr(start, semi == std::string::npos ? semi : semi - start);
      // Blanks around a command do not count; an empty command (";;" or the end) is skipped.
      size_t first = command.find_first_not_of(" \t\r\n");
      command = first == std::string::npos ? std::string() : command.substr(first);
      if (!command.empty()) {
        ++number;
        if (!turtle.Run(command)) {
          done = -number;
          break;
        }
        done = number;
      }
      if (semi == std::string::npos) break;
      start = semi + 1;
    }
  }
  RestoreDC(hdc, saved);
  return done;
}
