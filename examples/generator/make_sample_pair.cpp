// make_sample_pair: writes a realistic pair of gridded temperature files in
// the r2c text format, a long "regional" series and a short "forecast"
// series that overlap by a few days, for trying out and testing quiltgrid.
//
//   make_sample_pair [--columns N] [--rows N] [--step-minutes N]
//                    [--regional-until YYYY-MM-DD] [--forecast-days N]
//                    [--scale K] OUTDIR
//
// Output: OUTDIR/tempr/20250101_regl_tmp.r2c  (CR LF line ends)
//         OUTDIR/tempr/20250101_RDPS_tmp.r2c  (LF line ends)
//
// Exit status: 0 on success, 1 if a file could not be written completely,
// 2 for bad arguments.
//
// Determinism: the same arguments give the same bytes on every compiler,
// library and CPU. That is why every value is computed in integer
// arithmetic (thousandths of a degree, a fixed-point sine, a private PRNG)
// and formatted by hand: no libm call, no floating-point contraction and no
// library float formatting can change a digit.
//
// Speed: the large grids are meant for benchmarking, so the files are built
// in a big memory buffer with hand-written digit code and handed to fwrite
// in large blocks.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view program_name = "make_sample_pair";

constexpr std::int64_t ms_per_second = 1'000;
constexpr std::int64_t ms_per_minute = 60'000;
constexpr std::int64_t ms_per_hour = 3'600'000;
constexpr std::int64_t ms_per_day = 86'400'000;

// ---------------------------------------------------------------------------
// Calendar (proleptic Gregorian), times are milliseconds since 1970-01-01.

struct CivilDate {
    std::int64_t year;
    int month;  // 1..12
    int day;    // 1..31
};

// Days since 1970-01-01 for a civil date (H. Hinnant's algorithm).
constexpr std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (m + 9) % 12;  // March is month 0
    const std::int64_t doy = (153 * mp + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Inverse of days_from_civil.
constexpr CivilDate civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), static_cast<int>(m), static_cast<int>(d)};
}

static_assert(days_from_civil(1970, 1, 1) == 0);
static_assert(days_from_civil(2025, 3, 1) - days_from_civil(2025, 2, 28) == 1);
static_assert(days_from_civil(2026, 1, 1) - days_from_civil(2025, 1, 1) == 365);
static_assert(civil_from_days(days_from_civil(2025, 12, 31) + 1).year == 2026);

constexpr std::int64_t ms_from_civil(std::int64_t y, int m, int d) {
    return days_from_civil(y, m, d) * ms_per_day;
}

// ---------------------------------------------------------------------------
// Fixed-point trigonometry. Angles are fractions of a full turn in Q24
// (2^24 == one turn), results are in Q30 (2^30 == 1.0).

constexpr int turn_bits = 24;
constexpr std::uint32_t turn_mask = (std::uint32_t{1} << turn_bits) - 1;
constexpr std::uint32_t quarter_turn = std::uint32_t{1} << (turn_bits - 2);
constexpr std::int64_t q30_one = std::int64_t{1} << 30;

// sin(2 pi * turn / 2^24) * 2^30. Taylor polynomial through degree 9 on a
// quarter turn; the error (below 1e-5) is invisible after rounding a
// temperature of a few tens of degrees to thousandths.
constexpr std::int64_t sin_turn(std::uint32_t turn) {
    turn &= turn_mask;
    const std::uint32_t quadrant = turn >> (turn_bits - 2);
    // Position inside the quadrant as Q30 in [0, 1).
    std::int64_t z = static_cast<std::int64_t>(turn & (quarter_turn - 1)) << (32 - turn_bits);
    if ((quadrant & 1u) != 0) z = q30_one - z;
    const std::int64_t z2 = (z * z) >> 30;
    std::int64_t p = 172272;            // (pi/2)^9 / 9!
    p = -5026995 + ((p * z2) >> 30);    // -(pi/2)^7 / 7!
    p = 85569306 + ((p * z2) >> 30);    // (pi/2)^5 / 5!
    p = -693598668 + ((p * z2) >> 30);  // -(pi/2)^3 / 3!
    p = 1686629713 + ((p * z2) >> 30);  // pi/2
    const std::int64_t s = (p * z) >> 30;
    return (quadrant & 2u) != 0 ? -s : s;
}

constexpr std::int64_t cos_turn(std::uint32_t turn) { return sin_turn(turn + quarter_turn); }

static_assert(sin_turn(0) == 0);
static_assert(sin_turn(quarter_turn) > q30_one - 20000 && sin_turn(quarter_turn) < q30_one + 20000);
static_assert(cos_turn(2 * quarter_turn) < -q30_one + 20000);

// Fraction of `period` that `offset` represents, as a Q24 turn. The caller
// guarantees 0 <= offset < period < 2^39 so the product cannot overflow.
constexpr std::uint32_t turn_of(std::int64_t offset, std::int64_t period) {
    return static_cast<std::uint32_t>((offset << turn_bits) / period);
}

// amplitude * (q30 / 2^30), rounded towards minus infinity; deterministic.
constexpr std::int64_t scale_q30(std::int64_t amplitude, std::int64_t q30) {
    return (amplitude * q30) >> 30;
}

// ---------------------------------------------------------------------------
// Private PRNG (splitmix64): fixed seeds, identical on every platform.

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    // Uniform integer in [-half_range, half_range].
    std::int64_t symmetric(std::uint32_t half_range) {
        const std::uint64_t span = 2 * std::uint64_t{half_range} + 1;
        // Multiply-high on the top 32 bits: no division, negligible bias.
        const std::uint64_t pick = ((next() >> 32) * span) >> 32;
        return static_cast<std::int64_t>(pick) - std::int64_t{half_range};
    }

private:
    std::uint64_t state_;
};

// ---------------------------------------------------------------------------
// Temperature model, all in thousandths of a degree Celsius.

class TemperatureModel {
public:
    TemperatureModel(int columns, int rows, bool with_daily_cycle)
        : daily_cycle_(with_daily_cycle) {
        const auto c = static_cast<std::size_t>(columns);
        const auto r = static_cast<std::size_t>(rows);
        spatial_.resize(c * r);
        const std::int64_t col_span = columns > 1 ? columns - 1 : 1;
        const std::int64_t row_span = rows > 1 ? rows - 1 : 1;
        for (int j = 0; j < rows; ++j) {
            for (int i = 0; i < columns; ++i) {
                // The first row written lies on the yOrigin (southern) edge,
                // so it gets colder with the row index; slightly warmer to
                // the east, plus a gentle diagonal ripple so the field is not
                // a plain plane.
                const std::int64_t north = -3000 * j / row_span;
                const std::int64_t east = 1200 * i / col_span;
                const std::uint32_t phase =
                    turn_of(i, columns) + turn_of(j, 2 * static_cast<std::int64_t>(rows));
                const std::int64_t ripple = scale_q30(600, sin_turn(phase));
                spatial_[static_cast<std::size_t>(j) * c + static_cast<std::size_t>(i)] =
                    north + east + ripple;
            }
        }
    }

    // The part of the field that depends only on time.
    std::int64_t at_time(std::int64_t t_ms) const {
        // Seasonal cycle: coldest (about -12) around 20 January, warmest
        // (about +22) half a mean year later, in late July.
        constexpr std::int64_t mean_year_ms = 31'556'952'000;  // 365.2425 days
        constexpr std::int64_t coldest_ms = ms_from_civil(2025, 1, 20) + 12 * ms_per_hour;
        std::int64_t since_coldest = (t_ms - coldest_ms) % mean_year_ms;
        if (since_coldest < 0) since_coldest += mean_year_ms;
        std::int64_t value = 5000 - scale_q30(17000, cos_turn(turn_of(since_coldest, mean_year_ms)));

        if (daily_cycle_) {
            // Daily cycle of +-3 degrees, warmest at 15:00. Daily frames
            // stand for daily means and leave it out.
            std::int64_t since_peak = (t_ms - 15 * ms_per_hour) % ms_per_day;
            if (since_peak < 0) since_peak += ms_per_day;
            value += scale_q30(3000, cos_turn(turn_of(since_peak, ms_per_day)));
        }
        return value;
    }

    // Offset of cell (row, column) in the order the cells are written.
    const std::vector<std::int64_t>& spatial() const { return spatial_; }

private:
    bool daily_cycle_;
    std::vector<std::int64_t> spatial_;
};

// ---------------------------------------------------------------------------
// Buffered output. Any failure throws WriteError naming the file, so no code
// path can forget to check a result and end with exit status 0.

class WriteError : public std::exception {
public:
    explicit WriteError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class OutputFile {
public:
    OutputFile(std::filesystem::path path, std::size_t capacity)
        : path_(std::move(path)), buffer_(capacity) {
        file_ = std::fopen(path_.string().c_str(), "wb");
        if (file_ == nullptr) fail("cannot create");
    }

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    ~OutputFile() {
        // Only reached without close() when an error is already on its way.
        if (file_ != nullptr) std::fclose(file_);
    }

    // Makes sure at least `n` bytes can be appended at cursor(). The caller
    // guarantees n <= the capacity given to the constructor.
    void reserve(std::size_t n) {
        if (buffer_.size() - used_ < n) flush();
    }

    char* cursor() { return buffer_.data() + used_; }
    void advance_to(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }

    void append(std::string_view text) {
        if (text.size() > buffer_.size()) {
            flush();
            write_raw(text.data(), text.size());
            return;
        }
        reserve(text.size());
        std::memcpy(cursor(), text.data(), text.size());
        used_ += text.size();
    }

    void close() {
        flush();
        std::FILE* f = std::exchange(file_, nullptr);
        if (std::fclose(f) != 0) fail("cannot finish writing");
    }

    const std::filesystem::path& path() const { return path_; }

private:
    void flush() {
        write_raw(buffer_.data(), used_);
        used_ = 0;
    }

    void write_raw(const char* data, std::size_t n) {
        if (n == 0) return;
        if (std::fwrite(data, 1, n, file_) != n) fail("cannot write");
    }

    [[noreturn]] void fail(std::string_view what) const {
        const int err = errno;
        std::string message{what};
        message += " '";
        message += path_.string();
        message += "'";
        if (err != 0) {
            message += ": ";
            message += std::strerror(err);
        }
        throw WriteError(std::move(message));
    }

    std::filesystem::path path_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::FILE* file_ = nullptr;
};

// ---------------------------------------------------------------------------
// Hand-written formatting.

// Longest text put_thousandths can produce for one value without padding:
// sign, 19 digits of int64, the point.
constexpr std::size_t max_value_chars = 21;

// Writes v / 1000 with exactly three decimals, right-justified in `width`
// columns (wider if the number needs it; width 0 means no padding). Zero is
// always "0.000", never "-0.000", because v is an integer. Returns the end.
char* put_thousandths(char* out, std::int64_t v, std::size_t width) {
    char digits[24];
    char* const end = digits + sizeof digits;
    char* p = end;
    std::uint64_t mag = v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(v)
                              : static_cast<std::uint64_t>(v);
    for (int k = 0; k < 3; ++k) {
        *--p = static_cast<char>('0' + mag % 10);
        mag /= 10;
    }
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag != 0);
    if (v < 0) *--p = '-';
    const auto len = static_cast<std::size_t>(end - p);
    if (len < width) {
        std::memset(out, ' ', width - len);
        out += width - len;
    }
    std::memcpy(out, p, len);
    return out + len;
}

// Writes a non-negative integer right-justified in `width` columns (wider
// if needed); `width` is at most 20.
char* put_right(char* out, std::int64_t v, std::size_t width) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, v);
    const auto len = static_cast<std::size_t>(res.ptr - digits);
    if (len < width) {
        std::memset(out, ' ', width - len);
        out += width - len;
    }
    std::memcpy(out, digits, len);
    return out + len;
}

// Zero-padded fixed-width non-negative integer.
char* put_zero_padded(char* out, std::int64_t v, int width) {
    for (int k = width - 1; k >= 0; --k) {
        out[k] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return out + width;
}

// The 54-column frame marker:
//   :Frame<number:10><number:10><3 blanks>"YYYY/MM/DD HH:MM:SS.mmm"
// Needs at most 60 bytes (more only if the number outgrows 10 digits, which
// the argument checks rule out).
char* put_frame_marker(char* out, std::int64_t number, std::int64_t t_ms) {
    std::int64_t day = t_ms / ms_per_day;
    std::int64_t in_day = t_ms % ms_per_day;
    if (in_day < 0) {
        in_day += ms_per_day;
        --day;
    }
    const CivilDate date = civil_from_days(day);

    std::memcpy(out, ":Frame", 6);
    out += 6;
    out = put_right(out, number, 10);
    out = put_right(out, number, 10);
    std::memcpy(out, "   \"", 4);
    out += 4;
    out = put_zero_padded(out, date.year, 4);
    *out++ = '/';
    out = put_zero_padded(out, date.month, 2);
    *out++ = '/';
    out = put_zero_padded(out, date.day, 2);
    *out++ = ' ';
    out = put_zero_padded(out, in_day / ms_per_hour, 2);
    *out++ = ':';
    out = put_zero_padded(out, in_day % ms_per_hour / ms_per_minute, 2);
    *out++ = ':';
    out = put_zero_padded(out, in_day % ms_per_minute / ms_per_second, 2);
    *out++ = '.';
    out = put_zero_padded(out, in_day % ms_per_second, 3);
    *out++ = '"';
    return out;
}

// ---------------------------------------------------------------------------
// File layout.

enum class Flavour {
    regional,  // CR LF; every 11th data row of the file split over two lines
    forecast,  // LF; every 7th row of each frame separated by ", "
};

struct SeriesLayout {
    Flavour flavour;
    std::string_view eol;
    std::string_view creation_date;
    std::string_view name;
    std::int64_t start_ms;
    std::int64_t frame_count;
    std::uint64_t seed;
    std::int64_t bias;  // thousandths of a degree added to every value
};

struct Settings {
    int columns = 12;
    int rows = 8;
    std::int64_t step_minutes = 1440;
    std::int64_t scale = 1;
    std::int64_t step_ms = 0;  // derived: step_minutes / scale
    CivilDate regional_until{2025, 7, 5};
    std::int64_t forecast_days = 10;
    std::filesystem::path outdir;
};

// A header line "key<padding>value" with the value starting in column 26.
std::string header_pair(std::string_view key, std::string_view value) {
    std::string line{key};
    if (line.size() < 25) line.append(25 - line.size(), ' ');
    line += value;
    return line;
}

// Count records: key padded to 33 characters, the number right-justified in
// columns 34 to 38, which is where readers of this format take it from.
std::string header_count(std::string_view key, int value) {
    std::string line{key};
    line.append(33 - key.size(), ' ');
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const auto len = static_cast<std::size_t>(res.ptr - digits);
    line.append(5 - len, ' ');
    line.append(digits, len);
    return line;
}

std::string make_header(const SeriesLayout& series, const Settings& settings) {
    const std::vector<std::string> lines = {
        std::string(40, '#'),
        ":FileType r2c  ASCII  1.0",
        "#",
        header_pair("# DataType", "2D Rect Cell"),
        "#",
        header_pair(":Application", "quiltgrid sample generator"),
        header_pair(":Version", "1.0"),
        header_pair(":WrittenBy", program_name),
        header_pair(":CreationDate", series.creation_date),
        "#",
        "#---------------------------------------",
        header_pair(":Name", series.name),
        "#",
        header_pair(":Projection", "LATLONG"),
        header_pair(":Ellipsoid", "WGS84"),
        "#",
        header_pair(":xOrigin", "-81.000000"),
        header_pair(":yOrigin", " 44.000000"),
        "#",
        header_pair(":AttributeName 1", "Temperature"),
        header_pair(":AttributeUnits 1", "degC"),
        "#",
        header_count(":xCount", settings.columns),
        header_count(":yCount", settings.rows),
        header_pair(":xDelta", "  0.125000"),
        header_pair(":yDelta", "  0.125000"),
        "#",
        ":endHeader",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += series.eol;
    }
    return text;
}

void write_series(const std::filesystem::path& path, const SeriesLayout& series,
                  const Settings& settings, const TemperatureModel& model) {
    const auto columns = static_cast<std::size_t>(settings.columns);
    const auto rows = static_cast<std::size_t>(settings.rows);
    const std::string_view eol = series.eol;

    // Worst case for one data row: every value at full length plus ", ",
    // and two line ends (split rows).
    const std::size_t max_row_bytes = columns * (max_value_chars + 2) + 2 * eol.size();
    const std::size_t max_marker_bytes = 64 + eol.size();
    const std::size_t capacity = std::max<std::size_t>(std::size_t{4} << 20, 2 * max_row_bytes);

    OutputFile out(path, capacity);
    out.append(make_header(series, settings));

    const std::vector<std::int64_t>& spatial = model.spatial();
    SplitMix64 noise(series.seed);
    const std::size_t split_at = (columns + 1) / 2;
    std::uint64_t data_rows_written = 0;

    for (std::int64_t frame = 0; frame < series.frame_count; ++frame) {
        const std::int64_t t_ms = series.start_ms + frame * settings.step_ms;
        const std::int64_t base = model.at_time(t_ms) + series.bias;

        out.reserve(max_marker_bytes);
        char* p = put_frame_marker(out.cursor(), frame + 1, t_ms);
        std::memcpy(p, eol.data(), eol.size());
        out.advance_to(p + eol.size());

        for (std::size_t j = 0; j < rows; ++j) {
            ++data_rows_written;
            const std::int64_t* cell = spatial.data() + j * columns;
            out.reserve(max_row_bytes);
            p = out.cursor();
            if (series.flavour == Flavour::forecast && (j + 1) % 7 == 0) {
                for (std::size_t i = 0; i < columns; ++i) {
                    if (i != 0) {
                        *p++ = ',';
                        *p++ = ' ';
                    }
                    p = put_thousandths(p, base + cell[i] + noise.symmetric(500), 0);
                }
            } else {
                // Counted over the whole file, not per frame, so that grids
                // with fewer than 11 rows still contain split rows. A single
                // value cannot be split.
                const bool split = series.flavour == Flavour::regional &&
                                   data_rows_written % 11 == 0 && columns > 1;
                for (std::size_t i = 0; i < columns; ++i) {
                    if (split && i == split_at) {
                        std::memcpy(p, eol.data(), eol.size());
                        p += eol.size();
                    }
                    p = put_thousandths(p, base + cell[i] + noise.symmetric(500), 9);
                }
            }
            std::memcpy(p, eol.data(), eol.size());
            out.advance_to(p + eol.size());
        }

        out.append(":EndFrame");
        out.append(eol);
    }
    out.close();
}

// ---------------------------------------------------------------------------
// Command line.

void print_usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: %.*s [options] OUTDIR\n"
                 "\n"
                 "Writes OUTDIR/tempr/20250101_regl_tmp.r2c (regional, CR LF) and\n"
                 "OUTDIR/tempr/20250101_RDPS_tmp.r2c (forecast, LF).\n"
                 "\n"
                 "  --columns N               grid columns, 1..99999 (default 12)\n"
                 "  --rows N                  grid rows, 1..99999 (default 8)\n"
                 "  --step-minutes N          minutes between frames (default 1440)\n"
                 "  --regional-until DATE     last day of the regional series, YYYY-MM-DD,\n"
                 "                            not before 2025-01-01 (default 2025-07-05)\n"
                 "  --forecast-days N         length of the forecast series starting\n"
                 "                            2025-07-01, 1..36500 (default 10)\n"
                 "  --scale K                 divide the step by K (default 1); the step\n"
                 "                            must stay a whole number of milliseconds\n"
                 "  -h, --help                show this text\n",
                 static_cast<int>(program_name.size()), program_name.data());
}

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program_name.size()),
                 program_name.data(), message.c_str());
    print_usage(stderr);
    std::exit(2);
}

std::int64_t parse_int(std::string_view option, std::string_view text, std::int64_t lo,
                       std::int64_t hi) {
    std::int64_t value = 0;
    const char* const first = text.data();
    const char* const last = text.data() + text.size();
    const auto res = std::from_chars(first, last, value);
    if (text.empty() || res.ec != std::errc{} || res.ptr != last || value < lo || value > hi) {
        usage_error(std::string{option} + " needs a whole number from " + std::to_string(lo) +
                    " to " + std::to_string(hi) + ", got '" + std::string{text} + "'");
    }
    return value;
}

CivilDate parse_date(std::string_view option, std::string_view text) {
    const auto bad = [&]() {
        usage_error(std::string{option} + " needs a date YYYY-MM-DD from 2025-01-01 to " +
                    "9999-12-31, got '" + std::string{text} + "'");
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') bad();
    const auto number = [&](std::size_t pos, std::size_t len) {
        int v = 0;
        for (std::size_t k = pos; k < pos + len; ++k) {
            if (text[k] < '0' || text[k] > '9') bad();
            v = v * 10 + (text[k] - '0');
        }
        return v;
    };
    const int y = number(0, 4);
    const int m = number(5, 2);
    const int d = number(8, 2);
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 2025) bad();
    // Rejects 2025-02-29, 2025-04-31 and the like.
    const CivilDate back = civil_from_days(days_from_civil(y, m, d));
    if (back.year != y || back.month != m || back.day != d) bad();
    return {y, m, d};
}

// Frames needed to cover [start, end) at the given step.
std::int64_t frames_between(std::int64_t start_ms, std::int64_t end_ms, std::int64_t step_ms) {
    return (end_ms - start_ms + step_ms - 1) / step_ms;
}

// The marker has 10 columns for the frame number.
constexpr std::int64_t max_frames = 9'999'999'999;

Settings parse_arguments(int argc, char** argv) {
    Settings s;
    bool have_outdir = false;
    for (int k = 1; k < argc; ++k) {
        std::string_view arg = argv[k];
        if (arg == "-h" || arg == "--help") {
            print_usage(stdout);
            std::exit(0);
        }
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            std::string_view name = arg;
            std::string_view value;
            bool have_value = false;
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                have_value = true;
            }
            const bool known = name == "--columns" || name == "--rows" ||
                               name == "--step-minutes" || name == "--regional-until" ||
                               name == "--forecast-days" || name == "--scale";
            if (!known) usage_error("unknown option '" + std::string{name} + "'");
            if (!have_value) {
                if (k + 1 >= argc) usage_error(std::string{name} + " needs a value");
                value = argv[++k];
            }
            if (name == "--columns") {
                s.columns = static_cast<int>(parse_int(name, value, 1, 99999));
            } else if (name == "--rows") {
                s.rows = static_cast<int>(parse_int(name, value, 1, 99999));
            } else if (name == "--step-minutes") {
                // Up to 100 years keeps every later product far from overflow.
                s.step_minutes = parse_int(name, value, 1, 100LL * 366 * 1440);
            } else if (name == "--regional-until") {
                s.regional_until = parse_date(name, value);
            } else if (name == "--forecast-days") {
                s.forecast_days = parse_int(name, value, 1, 36500);
            } else {
                s.scale = parse_int(name, value, 1, 1'000'000'000);
            }
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') usage_error("unknown option '" + std::string{arg} + "'");
        if (have_outdir) usage_error("only one OUTDIR may be given");
        if (arg.empty()) usage_error("OUTDIR must not be empty");
        s.outdir = std::filesystem::path(std::string{arg});
        have_outdir = true;
    }
    if (!have_outdir) usage_error("missing OUTDIR");

    const std::int64_t step_total_ms = s.step_minutes * ms_per_minute;
    if (step_total_ms % s.scale != 0) {
        usage_error("--step-minutes " + std::to_string(s.step_minutes) + " divided by --scale " +
                    std::to_string(s.scale) + " is not a whole number of milliseconds");
    }
    s.step_ms = step_total_ms / s.scale;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const Settings settings = parse_arguments(argc, argv);

    const std::int64_t regional_start = ms_from_civil(2025, 1, 1);
    const std::int64_t regional_end =
        ms_from_civil(settings.regional_until.year, settings.regional_until.month,
                      settings.regional_until.day) + ms_per_day;
    const std::int64_t forecast_start = ms_from_civil(2025, 7, 1);
    const std::int64_t forecast_end = forecast_start + settings.forecast_days * ms_per_day;

    const SeriesLayout regional{Flavour::regional,
                              "\r\n",
                              "2025-01-01  00:00",
                              "Temperature",
                              regional_start,
                              frames_between(regional_start, regional_end, settings.step_ms),
                              0x7E6A1D2C0FFEE001u,
                              0};
    const SeriesLayout forecast{Flavour::forecast,
                              "\n",
                              "2025-06-30  18:00",
                              "Forecast temperature",
                              forecast_start,
                              frames_between(forecast_start, forecast_end, settings.step_ms),
                              0x3F0C4A5B1EAF0002u,
                              300};
    if (regional.frame_count > max_frames || forecast.frame_count > max_frames) {
        usage_error("more than " + std::to_string(max_frames) +
                    " frames; use a longer step or a shorter period");
    }

    try {
        const std::filesystem::path dir = settings.outdir / "tempr";
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) throw WriteError("cannot create directory '" + dir.string() + "': " + ec.message());

        const TemperatureModel model(settings.columns, settings.rows, settings.step_ms < ms_per_day);
        write_series(dir / "20250101_regl_tmp.r2c", regional, settings, model);
        write_series(dir / "20250101_RDPS_tmp.r2c", forecast, settings, model);
    } catch (const WriteError& e) {
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program_name.size()),
                     program_name.data(), e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%.*s: out of memory\n", static_cast<int>(program_name.size()),
                     program_name.data());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program_name.size()),
                     program_name.data(), e.what());
        return 1;
    }
    return 0;
}
