// Schedule pictures: the document is well-formed XML (read by tinyxml2), its bars, loads,
// capacities and deadline agree with the schedule on one time scale, it stays readable for 120
// activities, and a real renderer turns it into a PNG of the stated size; the batch runner draws
// one for every instance with a schedule.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tinyxml2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "formats/profile_plot.hpp"
#include "formats/psplib.hpp"
#include "formats/svg_plot.hpp"
#include "tests/fake_platform.hpp"
#include "tests/search_checks.hpp"
#include "tests/test_support.hpp"
#include "tools/batch_options.hpp"
#include "tools/batch_run.hpp"

namespace rcpspdc::test {
namespace {

struct Element {
  std::string name, text;
  std::map<std::string, std::string> attr;
  std::vector<Element> children;
  double num(const std::string& a) const { return std::stod(attr.at(a)); }
};

// The element tree of a document as tinyxml2 reads it; an element's text is
// its own text nodes, in order.
void convert(const tinyxml2::XMLElement& from, Element& to) {
  to.name = from.Name();
  for (const tinyxml2::XMLAttribute* a = from.FirstAttribute(); a != nullptr; a = a->Next())
    EXPECT_TRUE(to.attr.emplace(a->Name(), a->Value()).second)
        << "attribute " << a->Name() << " twice";
  for (const tinyxml2::XMLNode* c = from.FirstChild(); c != nullptr; c = c->NextSibling()) {
    if (const tinyxml2::XMLElement* element = c->ToElement()) {
      to.children.emplace_back();
      convert(*element, to.children.back());
    } else if (const tinyxml2::XMLText* text = c->ToText()) {
      to.text += text->Value();
    }
  }
}

void flatten(const Element& e, std::vector<const Element*>& all) {
  all.push_back(&e);
  for (const Element& c : e.children) flatten(c, all);
}

struct Picture {
  Element root;
  std::vector<const Element*> all;  // document order
  std::vector<const Element*> of(const std::string& cls) const {
    std::vector<const Element*> found;
    for (const Element* e : all)
      if (e->attr.count("class") != 0 && e->attr.at("class") == cls) found.push_back(e);
    return found;
  }
};

Picture parsed(const std::string& svg);
Picture parsed_file(const std::string& path) { return parsed(slurp(path)); }

Picture parsed(const std::string& svg) {
  Picture p;
  tinyxml2::XMLDocument document;
  const tinyxml2::XMLError error = document.Parse(svg.data(), svg.size());
  EXPECT_EQ(error, tinyxml2::XML_SUCCESS) << document.ErrorStr();
  if (error != tinyxml2::XML_SUCCESS || document.RootElement() == nullptr) return p;
  convert(*document.RootElement(), p.root);
  EXPECT_EQ(p.root.name, "svg");
  flatten(p.root, p.all);
  return p;
}

// Finish times of the earliest schedule without resources.
std::vector<int> early_finish(const InstanceData& d) {
  std::vector<int> f(static_cast<std::size_t>(d.activity_count), 0);
  for (int i = 0; i < d.activity_count; ++i)  // successors have higher indices in these instances
    for (int s : d.successors[static_cast<std::size_t>(i)])
      f[static_cast<std::size_t>(s)] =
          std::max(f[static_cast<std::size_t>(s)],
                   f[static_cast<std::size_t>(i)] + d.duration[static_cast<std::size_t>(s)]);
  return f;
}

// Two resources, cash flows of each sign and none.
InstanceData small_instance() {
  return make_instance({3, 2},
                       {{0, {}, {1, 2, 3}},
                        {2, {2, 1}, {4}, 50},
                        {3, {2, 0}, {5}, -20},
                        {1, {1, 2}, {6}, 0},
                        {4, {0, 1}, {6}, 35},
                        {2, {1, 1}, {6}, -5},
                        {0, {}, {}}},
                       9);
}

TEST(SchedulePicture, BarsLoadsCapacitiesAndDeadlineAgreeWithTheSchedule) {
  const InstanceData d = small_instance();
  const std::vector<int> finish = {0, 2, 5, 1, 6, 7, 7};  // period 1 overloads resource 2
  const Picture pic = parsed(schedule_svg(d, finish, "small <test> & \"more\""));
  EXPECT_EQ(pic.all[2]->text, "small <test> & \"more\"");  // after the background rect

  // Bars: width = scale * duration and x = origin + scale * start, one scale for all.
  const auto bars = pic.of("activity");
  ASSERT_EQ(bars.size(), 5u);
  const double scale = bars[0]->num("width") / 2;
  const double origin = bars[0]->num("x");  // activity 2 starts at 0
  std::map<int, std::string> fill_of_sign;
  for (int i = 1; i <= 5; ++i) {
    const Element& bar = *bars[static_cast<std::size_t>(i - 1)];
    const int duration = d.duration[static_cast<std::size_t>(i)];
    const int cash = d.cash_flow[static_cast<std::size_t>(i)];
    EXPECT_NEAR(bar.num("width"), scale * duration, 0.02) << i;
    EXPECT_NEAR(bar.num("x"), origin + scale * (finish[static_cast<std::size_t>(i)] - duration),
                0.02)
        << i;
    EXPECT_NE(bar.children.at(0).text.find("activity " + std::to_string(i + 1) + ":"),
              std::string::npos);
    const int sign = (cash > 0) - (cash < 0);
    if (fill_of_sign.count(sign) == 0) fill_of_sign[sign] = bar.attr.at("fill");
    EXPECT_EQ(bar.attr.at("fill"), fill_of_sign[sign]) << i;
    // Its label: a text with the file number whose baseline lies within the bar's row.
    const auto label = std::find_if(pic.all.begin(), pic.all.end(), [&](const Element* e) {
      return e->name == "text" && e->text == std::to_string(i + 1) &&
             e->attr.count("text-anchor") != 0 && e->num("y") >= bar.num("y") &&
             e->num("y") <= bar.num("y") + bar.num("height") + 1 && e->num("x") <= origin;
    });
    EXPECT_NE(label, pic.all.end()) << i;
  }
  EXPECT_EQ(fill_of_sign.size(), 3u);
  EXPECT_NE(fill_of_sign[1], fill_of_sign[-1]);
  const auto deadline = pic.of("deadline");
  ASSERT_EQ(deadline.size(), 1u);
  EXPECT_NEAR(deadline[0]->num("x1"), origin + scale * d.deadline, 0.02);
  EXPECT_EQ(deadline[0]->num("x1"), deadline[0]->num("x2"));

  // Loads: the bars before each capacity line belong to its resource; their
  // common bottom and the capacity line give the load scale.
  const auto capacities = pic.of("capacity");
  ASSERT_EQ(capacities.size(), 2u);
  std::vector<std::vector<const Element*>> loads(2);
  std::size_t k = 0;
  for (const Element* e : pic.all) {
    if (e->attr.count("class") == 0) continue;
    if (e->attr.at("class") == "load") loads.at(k).push_back(e);
    if (e->attr.at("class") == "capacity") ++k;
  }
  std::set<std::string> normal, overloaded;
  for (k = 0; k < 2; ++k) {
    ASSERT_FALSE(loads[k].empty());
    const double base = loads[k][0]->num("y") + loads[k][0]->num("height");
    const int capacity = d.capacity[k];
    const double per_unit = (base - capacities[k]->num("y1")) / capacity;
    for (int t = 1; t <= 9; ++t) {
      int expected = 0;
      for (int i = 1; i <= 5; ++i) {
        const int f = finish[static_cast<std::size_t>(i)];
        if (f - d.duration[static_cast<std::size_t>(i)] < t && t <= f)
          expected += d.requirement[static_cast<std::size_t>(i)][k];
      }
      const double middle = origin + scale * (t - 0.5);
      double drawn = 0.0;
      for (const Element* bar : loads[k])
        if (bar->num("x") < middle && middle < bar->num("x") + bar->num("width")) {
          EXPECT_NEAR(bar->num("y") + bar->num("height"), base, 0.02);
          drawn = bar->num("height") / per_unit;
          (expected > capacity ? overloaded : normal).insert(bar->attr.at("fill"));
        }
      EXPECT_NEAR(drawn, expected, 0.01) << "resource " << k + 1 << " period " << t;
    }
  }
  EXPECT_EQ(normal.size(), 1u);
  EXPECT_EQ(overloaded.size(), 1u);
  EXPECT_NE(normal, overloaded);
  EXPECT_EQ(schedule_svg(d, {0, 1}, "short"), "");
}

TEST(SchedulePicture, StaysReadableFor120Activities) {
  std::mt19937 rng(120);
  const InstanceData d = random_instance(rng, 120);
  const std::vector<int> finish = early_finish(d);
  InstanceData timed = d;
  timed.deadline = finish.back() + 3;
  const Picture pic = parsed(schedule_svg(timed, finish, "random 120"));
  const auto bars = pic.of("activity");
  ASSERT_EQ(bars.size(), 120u);
  for (std::size_t b = 0; b < bars.size(); ++b) {
    EXPECT_GE(bars[b]->num("height"), 8.0);
    if (b > 0) {
      EXPECT_GE(bars[b]->num("y"), bars[b - 1]->num("y") + bars[b - 1]->num("height"))
          << "rows overlap";
    }
  }
  for (const Element* e : pic.all)
    if (e->name == "text") {
      EXPECT_GE(e->num("font-size"), 8.0) << e->text;
    }
  EXPECT_GE(pic.root.num("height"), 120 * 12.0);
  EXPECT_LE(pic.root.num("width"), 1100.0);
  EXPECT_EQ(pic.of("capacity").size(), static_cast<std::size_t>(d.resource_count));
  // A few activities get larger rows and text.
  const Picture few = parsed(schedule_svg(small_instance(), {0, 2, 5, 1, 6, 7, 7}, "few"));
  EXPECT_GT(few.of("activity")[0]->num("height"), bars[0]->num("height"));
}

bool have_rsvg() { return std::system("command -v rsvg-convert >/dev/null 2>&1") == 0; }

// Renders with rsvg-convert; checks the PNG signature and that its size is the picture's.
void expect_renders(const std::string& svg, const std::string& name) {
  write_text(name + ".svg", svg);
  const int status = std::system(("rsvg-convert -o " + name + ".png " + name + ".svg").c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
  const std::string png = slurp(name + ".png");
  ASSERT_GT(png.size(), 2000u) << name;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  const auto be32 = [&](std::size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) |
           static_cast<unsigned char>(png[at + 3]);
  };
  const Picture pic = parsed(svg);
  EXPECT_NEAR(be32(16), pic.root.num("width"), 1.0) << name;
  EXPECT_NEAR(be32(20), pic.root.num("height"), 1.0) << name;
}

TEST(SchedulePicture, RendersToPngWithRsvgConvert) {
  if (!have_rsvg()) GTEST_SKIP() << "rsvg-convert is not installed (Debian package librsvg2-bin)";
  ScopedWorkDir dir;
  // Patterson instance 103 (51 activities) solved with the reference cash flows.
  const std::vector<ReferenceRow> rows = reference_rows();
  const ReferenceRow& row = find_row(rows, 103, 0);
  ASSERT_TRUE(row.readable);
  auto loaded = load_solver(row.instance, row.rate);
  solve(*loaded);
  ASSERT_TRUE(loaded->solver->search.has_incumbent);
  expect_renders(schedule_svg(row.instance, best_finish_times(*loaded->solver), "pat103"),
                 "pat103");
  std::mt19937 rng(7);
  InstanceData big = random_instance(rng, 120);
  const std::vector<int> finish = early_finish(big);
  big.deadline = finish.back();
  expect_renders(schedule_svg(big, finish, "random 120"), "random120");
}

TEST(SchedulePicture, BatchDrawsEveryInstanceWithASchedule) {
  ScopedWorkDir dir;
  // Instance 1's deadline is below its critical path (6): no schedule, no picture.
  write_text("t1.rcp", format_instance(small_instance()));
  write_text("t2.rcp", format_instance(small_instance()));
  write_text("deadline.t", "1 1 3\n1 2 9\n");
  const OptionsOutcome parsed_options =
      parse_batch_options({"--problem", "t", "--first", "1", "--last", "2", "--svg", "pics/sub"});
  ASSERT_TRUE(parsed_options.ok()) << parsed_options.error;
  EXPECT_FALSE(parse_batch_options({"--problem", "t", "--first", "1", "--svg="}).ok());
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(run_batch(parsed_options.options, out, out, false), 0);
  EXPECT_FALSE(std::filesystem::exists("pics/sub/t1.svg"));
  const Picture pic = parsed(slurp("pics/sub/t2.svg"));
  EXPECT_EQ(pic.of("activity").size(), 5u);
  // The title names the instance, deadline, rate and value; bars show theirs on hover.
  EXPECT_EQ(
      pic.all[2]->text.rfind(
          "t2: learning, deadline 9 (makespan + 0), rate 0.01, optimal, net present value ", 0),
      0u)
      << pic.all[2]->text;
  BatchOptions blocked = parsed_options.options;
  blocked.svg_dir = "t1.rcp/pics";  // below a file: cannot be created
  EXPECT_EQ(run_batch(blocked, out, out, false), 2);
  // With --svg-arcs, one line per arc between real activities, none before.
  EXPECT_TRUE(pic.of("arc").empty());
  const OptionsOutcome arcs = parse_batch_options(
      {"--problem", "t", "--first", "1", "--last", "2", "--svg", "arcs", "--svg-arcs"});
  ASSERT_TRUE(arcs.ok()) << arcs.error;
  ASSERT_TRUE(arcs.options.svg_arcs);
  EXPECT_EQ(run_batch(arcs.options, out, out, false), 0);
  const InstanceData d = small_instance();
  std::size_t real_arcs = 0;
  for (int i = 1; i + 1 < d.activity_count; ++i)
    for (const int j : d.successors[static_cast<std::size_t>(i)])
      real_arcs += j + 1 < d.activity_count ? 1 : 0;
  ASSERT_GT(real_arcs, 0u);
  EXPECT_EQ(parsed(slurp("arcs/t2.svg")).of("arc").size(), real_arcs);
  EXPECT_FALSE(parse_batch_options({"--problem", "t", "--first", "1", "--svg-arcs"}).ok());
  std::fclose(out);
}

// The points of a profile line, checked as a step line that never falls:
// x and the share never go back; returns the share at its end.
double profile_end(const Element& line, const Element& area) {
  std::istringstream in(line.attr.at("points"));
  const double bottom = area.num("y") + area.num("height");
  double x = -1.0;
  double share = -1.0;
  for (std::string point; in >> point;) {
    const std::size_t comma = point.find(',');
    const double px = std::stod(point.substr(0, comma));
    const double py = (bottom - std::stod(point.substr(comma + 1))) / area.num("height");
    EXPECT_GE(px, x - 1e-9) << line.attr.at("points");
    EXPECT_GE(py, share - 1e-9) << line.attr.at("points");
    EXPECT_GE(px, area.num("x") - 0.01);
    EXPECT_LE(px, area.num("x") + area.num("width") + 0.01);
    x = px;
    share = py;
  }
  EXPECT_NEAR(x, area.num("x") + area.num("width"), 0.01);  // drawn to the axis' end
  return share;
}

// The profiles of a grid run: one line per series, monotone, ending at the
// proven share (and the gap profile at the share stopped with a schedule);
// the time limit marked, the axes numbered and titled, the failures counted.
TEST(ProfilePicture, LinesRiseToTheProvenShare) {
  ProfileFigure figure;
  figure.title = "pat & more <1>: offset 0, time limit 2 s";
  figure.time_limits = {2.0};
  figure.series = {{"start-times", 5, {0.0, 0.004, 1.5, 0.004}, 1, {0.25}, 0},
                   {"delaying", 5, {0.3}, 3, {0.0, 2.5}, 1},
                   {"third", 2, {}, 0, {}, 2}};
  const Picture profile = parsed(performance_profile_svg(figure));
  ASSERT_EQ(profile.of("plot-area").size(), 1u);
  const Element& area = *profile.of("plot-area")[0];
  const std::vector<const Element*> lines = profile.of("profile");
  ASSERT_EQ(lines.size(), 3u);
  const double proven[] = {4.0 / 5, 1.0 / 5, 0.0};
  for (std::size_t k = 0; k < lines.size(); ++k)
    EXPECT_NEAR(profile_end(*lines[k], area), proven[k], 1e-3) << k;
  // Seconds of 0 count from the axis' left end; the limit lies inside the axis.
  ASSERT_EQ(profile.of("time-limit").size(), 1u);
  EXPECT_LT(profile.of("time-limit")[0]->num("x1"), area.num("x") + area.num("width") + 0.01);
  EXPECT_GE(profile.of("x-tick").size(), 3u);
  EXPECT_EQ(profile.of("y-tick").size(), 6u);
  EXPECT_EQ(profile.of("x-title").at(0)->text, "seconds (log scale)");
  const std::vector<const Element*> legend = profile.of("legend");
  ASSERT_EQ(legend.size(), 3u);
  EXPECT_EQ(legend[0]->text, "start-times: 4 of 5 proven (80.0 %), 1 failed");
  EXPECT_EQ(legend[2]->text, "third: 0 of 2 proven (0.0 %), 2 failed (2 not solved at all)");
  // Every series its own look.
  std::set<std::string> looks;
  for (const Element* line : lines)
    looks.insert(line->attr.at("stroke") +
                 (line->attr.count("stroke-dasharray") ? line->attr.at("stroke-dasharray") : ""));
  EXPECT_EQ(looks.size(), lines.size());

  const Picture gaps = parsed(gap_profile_svg(figure));
  const std::vector<const Element*> gap_lines = gaps.of("gap-profile");
  ASSERT_EQ(gap_lines.size(), 2u);  // nothing stopped in the third
  EXPECT_NEAR(profile_end(*gap_lines[0], *gaps.of("plot-area")[0]), 1.0, 1e-3);
  EXPECT_NEAR(profile_end(*gap_lines[1], *gaps.of("plot-area")[0]), 2.0 / 3, 1e-3);
  EXPECT_EQ(gaps.of("legend").at(1)->text, "delaying: 3 stopped, 2 with a schedule, 1 without");
  EXPECT_EQ(gaps.of("legend").at(2)->text, "third: none stopped");
  if (have_rsvg()) expect_renders(performance_profile_svg(figure), "profile");
}

// The figures of a real grid run, some searches stopped by a clock that
// runs fast: each series' line ends at the share its rows prove, the gap
// profile at the share stopped with a schedule.
TEST(ProfilePicture, AGridRunDrawsItsProfilesFromItsRows) {
  ScopedWorkDir dir;
  std::filesystem::copy_file(data_dir() / "pat" / "deadline.pat", "deadline.pat");
  for (int n = 11; n <= 16; ++n)
    std::filesystem::copy_file(data_dir() / "pat" / ("pat" + std::to_string(n) + ".rcp"),
                               "pat" + std::to_string(n) + ".rcp");
  const OptionsOutcome parsed = parse_batch_options(
      {"--problem",    "pat",      "--first",     "11",         "--last",
       "16",           "--offset", "0,5",         "--engine",   "start-times,delaying",
       "--time-limit", "1",        "--jobs",      "1",          "--csv",
       "run.csv",      "--plot",   "profile.svg", "--gap-plot", "gaps.svg",
       "--quiet"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  fake_clock_step = 1000;  // a second per reading: long searches stop
  EXPECT_EQ(run_batch(parsed.options, stdout, stderr, false), 1);  // pat13 is unreadable
  fake_clock_step = 0;
  // The shares, from the rows: series in grid order.
  std::map<std::string, std::array<int, 4>> counts;  // instances, proven, stopped, with schedule
  std::vector<std::string> order;
  std::istringstream rows(slurp("run.csv"));
  std::string row;
  std::getline(rows, row);
  while (std::getline(rows, row)) {
    std::vector<std::string> f;
    ASSERT_TRUE(split_csv_line(row, f));
    const std::string series = f[11] + " " + f[12];
    if (counts.count(series) == 0) order.push_back(series);
    std::array<int, 4>& c = counts[series];
    ++c[0];
    c[1] += f[8] == "optimal" || f[8] == "infeasible";
    c[2] += f[8] == "time limit";
    c[3] += f[8] == "time limit" && !f[6].empty();
  }
  ASSERT_EQ(order.size(), 4u);
  const Picture profile = parsed_file("profile.svg");
  const Picture gaps = parsed_file("gaps.svg");
  const std::vector<const Element*> lines = profile.of("profile");
  ASSERT_EQ(lines.size(), 4u);
  int stopped = 0;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::array<int, 4>& c = counts[order[k]];
    EXPECT_EQ(lines[k]->attr.at("data-share"), std::to_string(c[1]) + "/" + std::to_string(c[0]));
    EXPECT_NEAR(profile_end(*lines[k], *profile.of("plot-area")[0]), double(c[1]) / c[0], 1e-3);
    stopped += c[2];
  }
  EXPECT_GT(stopped, 0) << "no search stopped: the gap profile is not tested";
  std::size_t drawn = 0;
  for (const std::string& series : order) {
    const std::array<int, 4>& c = counts[series];
    if (c[2] == 0) continue;
    const Element& line = *gaps.of("gap-profile").at(drawn++);
    EXPECT_NEAR(profile_end(line, *gaps.of("plot-area")[0]), double(c[3]) / c[2], 1e-3);
  }
  EXPECT_EQ(gaps.of("gap-profile").size(), drawn);
  EXPECT_EQ(profile.of("time-limit").size(), 1u);
  EXPECT_EQ(profile.all[2]->text, "pat, rate 0.01, negative 60, seed 1, time_limit 1");
}

}  // namespace
}  // namespace rcpspdc::test
