#pragma once
// The chart's names for a data file read back (datafile/History.h).
#include "datafile/History.h"

namespace vantoril::chart {

using datafile::appendIsoHour;
using datafile::CivilHour;
using datafile::civilHour;
using datafile::History;
using datafile::HourIndex;
using datafile::HourText;
using datafile::HourTexts;
using datafile::hourText;
using datafile::HourValues;
using datafile::isoHour;
using datafile::parseHour;
using datafile::placeBytes;
using datafile::placeText;
using datafile::plainNumber;
using datafile::readHistory;
using datafile::readHistoryBytes;
using datafile::readHistoryText;
using datafile::readHourTexts;

}  // namespace vantoril::chart
