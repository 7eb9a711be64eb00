#pragma once
#include <string>
#include <vector>

#include "report/survey_table.h"

namespace koravel {

// The page of a survey: one self-contained HTML file with the shape maps of
// the four-, five- and six-coordinate centres (S of one shape against S of
// the other, the minimal-distortion path as a curve, each centre a point
// with its su as error bars), the angle sums of the three-coordinate
// centres against 3 x 109.47 and 360 deg, a histogram of every geometry
// index, and the table of the records, sorted by a click on a column (a
// small inline script). Every point names its file and centre when the
// pointer rests on it.
// `summary` says how many files and records the survey holds.
std::string SurveyPage(const std::vector<TSurveyRecord>& records, const std::string& summary);

}  // namespace koravel
