// Figures of one or more runs, for a paper: the performance profile (the
// share of instances proven within a time, against the time on a log axis)
// and the gap profile of the stopped searches (the share of them within a
// relative gap). One line per series, an engine at a grid point.
#pragma once

#include <string>
#include <vector>

namespace rcpspdc {

struct ProfileSeries {
  std::string name;                    // in the legend
  int instances = 0;                   // every row of the series, errors too
  std::vector<double> proven_seconds;  // of the searches that ended complete
  int stopped = 0;                     // searches stopped by the time or the node limit
  std::vector<double> gaps;            // relative gaps of those with a schedule and a bound
  int errors = 0;                      // rows not solved at all
};

struct ProfileFigure {
  std::string title;
  std::vector<double> time_limits;  // marked on the time axis (0: none)
  std::vector<ProfileSeries> series;
};

// Both pictures are SVG documents. Every series is one step line (class
// "profile" or "gap-profile", an Okabe-Ito colour and a dash pattern of its
// own) that rises monotonically from 0 and ends at its share: proven over
// instances, or stopped with a gap over stopped. The plot area is the rect
// of class "plot-area" (share 0 at its bottom, 1 at its top). The legend
// counts the instances that failed: not proven, or stopped without a
// schedule. Time limits are dashed vertical lines of class "time-limit".
std::string performance_profile_svg(const ProfileFigure& figure);
std::string gap_profile_svg(const ProfileFigure& figure);

}  // namespace rcpspdc
