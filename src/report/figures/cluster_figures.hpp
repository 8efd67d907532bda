// The figures of clusters and assignment: the individuals on the discriminant
// functions of a DAPC, the membership bar plot of its posterior probabilities
// and the assignment test's log-likelihood differences.  Like the other
// figures each is a pure function of result values, and inputs whose sizes
// disagree are rejected with std::invalid_argument.
//
// The bar plots draw one vertical stroke per individual and group, all the
// strokes of one colour in one path (class "bars") whose subpaths are the
// individuals' bars, so that a figure of thousands of individuals stays a few
// elements with bars of a pixel or less.  Individuals are drawn in their
// order; each run of consecutive individuals of one population is a block,
// named under it where the name fits and parted from the next by a line.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "clusters/cluster_analysis.hpp"

namespace bandscape {

// Individuals on LD1 and LD2 on equal scales, one colour and marker per group
// (population_style), with a legend of group_names; with a single
// discriminant function, LD1 against the individual's index, which the x axis
// title says.  group[i]: the group of individual i, 0..dapc.groups-1.
std::string dapc_scatter(const Dapc& dapc, std::span<const int> group, std::span<const std::string> group_names,
                         std::string_view title);

// One band of a membership bar plot: the posterior probabilities of a DAPC's
// groups, stacked in each individual's bar from group 0 at the bottom, group k
// in population_style(k)'s colour (so colours repeat after eight groups).  The
// segments' ends are the cumulative posteriors rounded to whole pixels of the
// 140 px band, so they meet exactly; a segment that rounds to nothing is
// left out.
struct MembershipPanel {
  const Dapc& dapc;
  std::span<const std::string> group_names;
  std::string heading;
};

// The panels one above the other over the same individuals; population[i]:
// the population of individual i, population_names its name.
std::string membership_figure(std::span<const MembershipPanel> panels, std::span<const int> population,
                              std::span<const std::string> population_names, std::string_view title);

// The log-likelihood difference between the most likely and the second most
// likely population of each individual as a bar, green when the most likely
// is the individual's own population and vermilion when not.  Undefined
// differences (a single population) are left out.
std::string assignment_figure(const AssignmentTest& test, std::span<const std::string> population_names,
                              std::string_view title);

}  // namespace bandscape
