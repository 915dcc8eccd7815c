#include "bindings/tracer_methods.h"

#include <string>
#include <vector>

#include "analysis/analysis_api.h"
#include "analysis/diagnostic_info.h"
#include "bindings/argument_checks.h"
#include "host/cell_records.h"
#include "host/processed_point_structs.h"
#include "host/trace_data_file.h"
#include "platform/host_messages.h"
#include "tracer/fixed_texts.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

namespace pt::bindings::methods {
namespace {

constexpr char kStartupGrouping[] = "Calvoran Startup";

std::string text(int nInputs, const haArray* const inputs[], int index, std::string_view label) {
  return textArgument(inputAt(nInputs, inputs, index), label);
}

bool flag(int nInputs, const haArray* const inputs[], int index, std::string_view label) {
  return logicalArgument(inputAt(nInputs, inputs, index), label);
}

void invalidNames() { haErrorMsgIdAndTxt("InvalidNames"); }
void expectedGroupingOrModel() { haErrorMsgIdAndTxt("ExpectedNames", "'grouping' or 'model'"); }

// The processed data the pairs ask for; each pair builds it anew and the last wins.
PTProcessedDataStruct processedDataFor(int nInputs, const haArray* const inputs[]) {
  checkEvenInputCount(nInputs);
  if (nInputs == 0) return ptGetProcessedDataForGroupings(nullptr, {pt::kGlobalGrouping});
  PTProcessedDataStruct data;
  for (int i = 0; i < nInputs; i += 2) {
    if (!isTextArgument(inputs[i])) expectedGroupingOrModel();
    const std::string name = toLowerCase(ptCreateStringFrom_haArray(inputs[i]));
    const haArray* value = inputs[i + 1];
    if (name != "grouping" && name != "model") invalidNames();
    std::vector<std::string> names;
    if (haIsCell(value))
      names = ptGetStringVectorFromCellArray(value);
    else if (haIsChar(value))
      names = name == "grouping" ? ptGetGroupingList(ptCreateStringFrom_haArray(value))
                                 : std::vector<std::string>{ptCreateStringFrom_haArray(value)};
    else
      haErrorMsgIdAndTxt("ParameterMismatchString", name);
    ptCleanupProcessedDataVector(data.diagnosticInfos);
    data = name == "grouping" ? ptGetProcessedDataForGroupings(nullptr, names)
                              : ptGetProcessedDataForModels(nullptr, names);
  }
  return data;
}

}  // namespace

// ------------------------------------------------------------------ Logging

void logKAVLORData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const std::string grouping = text(nInputs, inputs, 0, "Grouping");
  const std::string phase = text(nInputs, inputs, 1, "Phase");
  ptLogKAVLORData(grouping, phase, flag(nInputs, inputs, 2, "Start of Phase"));
}

void logCalvoranData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const std::string grouping = text(nInputs, inputs, 0, "Grouping");
  const std::string model = text(nInputs, inputs, 1, "Model Name");
  const std::string target = text(nInputs, inputs, 2, "Target Name");
  const std::string phase = text(nInputs, inputs, 3, "Phase");
  ptLogCalvoranData(grouping, model, target, phase, flag(nInputs, inputs, 4, "Start of Phase"));
}

void logQuorindelData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const std::string grouping = text(nInputs, inputs, 0, "Grouping");
  const std::string model = text(nInputs, inputs, 1, "Model Name");
  const std::string target = text(nInputs, inputs, 2, "Target Name");
  const std::string machine = text(nInputs, inputs, 3, "Machine Name");
  const std::string chart = text(nInputs, inputs, 4, "Chart Name");
  const std::string phase = text(nInputs, inputs, 5, "Phase");
  ptLogQuorindelData(grouping, model, target, machine, chart, phase, flag(nInputs, inputs, 6, "Start of Phase"));
}

void logCLStartupData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const std::string phase = text(nInputs, inputs, 0, "Phase");
  ptLogCLStartupData(phase, flag(nInputs, inputs, 1, "Start of Phase"));
}

void logTracerData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  checkInputCount(nInputs, 3, -1);
  // Three fixed inputs and then pairs: a valid call has an odd count.
  if (nInputs % 2 == 0) haErrorMsgIdAndTxt("ExpectedEvenNumberOfParameters");
  const std::string grouping = text(nInputs, inputs, 0, "Grouping");
  const std::string phase = text(nInputs, inputs, 1, "Phase");
  const bool isStart = flag(nInputs, inputs, 2, "Start of Phase");
  std::vector<std::string> texts;
  for (int i = 3; i < nInputs; ++i) texts.push_back(ptCreateStringFrom_haArray(inputs[i]));
  ptLogTracerDataVecInput(grouping, phase, isStart, texts);
}

// --------------------------------------------------------------- Enablement

void enable(int&, haArray* outputs[], int nInputs, const haArray* const inputs[]) {
  checkInputCount(nInputs, 1, 2);
  const std::string grouping = text(nInputs, inputs, 0, "Grouping");
  bool state;
  if (nInputs == 2) {
    state = flag(nInputs, inputs, 1, "Enable");
    ptEnableTracer(grouping, state);
  } else {
    state = ptIsTracerEnabled(grouping);
  }
  outputs[0] = haCreateLogicalScalar(state);
}

void enableGlobalLogging(int&, haArray* outputs[], int nInputs, const haArray* const inputs[]) {
  const bool state = flag(nInputs, inputs, 0, "Enable");
  ptEnableGlobalLogging(state);
  outputs[0] = haCreateLogicalScalar(state);
}

void enableCLStartupLogging(int&, haArray* outputs[], int nInputs, const haArray* const inputs[]) {
  const bool state = flag(nInputs, inputs, 0, "Enable");
  ptEnableTracer(kStartupGrouping, state);
  outputs[0] = haCreateLogicalScalar(state);
}

void enableDetailedMemStats(int& nOutputs, haArray*[], int nInputs, const haArray* const inputs[]) {
  flag(nInputs, inputs, 0, "Enable");
  nOutputs = 0;
  haErrorMsgIdAndTxt("WindowsOnlyFeature", "Detailed Memory Statistics");
}

void isPerfTracerEnabled(int&, haArray* outputs[], int, const haArray* const[]) {
  outputs[0] = haCreateLogicalScalar(ptGetPerfTracerEnabledFlag());
}

// ------------------------------------------- Groupings, mappings, test paths

void addGrouping(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const haArray* name = inputAt(nInputs, inputs, 0);
  if (!isTextArgument(name)) invalidNames();
  const std::string grouping = ptCreateStringFrom_haArray(name);
  const haArray* members = inputAt(nInputs, inputs, 1);
  if (!haIsCell(members)) haErrorMsgIdAndTxt("UnexpectedValue", grouping);
  const std::string refused = ptAddGrouping(grouping, ptGetStringVectorFromCellArray(members));
  if (!refused.empty()) haErrorMsgIdAndTxt("AddGroupingError", refused);
}

void removeGrouping(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const std::string grouping = text(nInputs, inputs, 0, "grouping");
  if (!ptRemoveGrouping(grouping)) haErrorMsgIdAndTxt("RemoveGroupingError", grouping);
}

void setStatisticsTypeForModel(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  const std::string model = ptCreateStringFrom_haArray(inputAt(nInputs, inputs, 0));
  const std::string statisticsType = ptCreateStringFrom_haArray(inputAt(nInputs, inputs, 1));
  if (model.empty() || statisticsType.empty()) invalidNames();
  ptSetStatisticsTypeForModel(model, statisticsType);
}

void addTestPathToMap(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  ptAddTestPathToMap(ptCreateStringFrom_haArray(inputAt(nInputs, inputs, 0)),
                     ptCreateStringFrom_haArray(inputAt(nInputs, inputs, 1)));
}

// ------------------------------------------------------------------ Clearing

void clearRawData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  if (nInputs == 0) {
    ptClearRawData();
    return;
  }
  checkInputCount(nInputs, -1, 6);
  checkEvenInputCount(nInputs);
  static constexpr NamedParameter kNames[] = {
      {"model", ValueKind::kAny}, {"grouping", ValueKind::kAny}, {"target", ValueKind::kAny}};
  const NameValueArguments pairs(nInputs, inputs, kNames, invalidNames);
  const std::string grouping = pairs.text("grouping"), model = pairs.text("model");
  if (pairs.has("grouping") && pairs.has("model") && pairs.has("target"))
    ptClearRawData(grouping, model, pairs.text("target"));
  else if (pairs.has("grouping") && pairs.has("model"))
    ptClearRawData(grouping, model);
  else if (pairs.has("grouping"))
    ptClearRawGroupingData(grouping);
  else if (pairs.has("model"))
    ptClearRawModelData(model);
  else
    invalidNames();
}

// ------------------------------------------------------------------ Data out

void getRawData(int&, haArray* outputs[], int, const haArray* const[]) {
  const std::unique_ptr<PTRawDataVector> points = PerformanceTracer::getInstance()->getRawDataVector();
  const std::size_t count = points ? points->size() : 0;
  platform::HostArrayPtr cell(haCreateCellMatrix(1, count));
  for (std::size_t i = 0; i < count; ++i) haSetCell(cell.get(), i, (*points)[i]->writeToCellArray());
  outputs[0] = cell.release();
}

void getProcessedData(int&, haArray* outputs[], int nInputs, const haArray* const inputs[]) {
  PTProcessedDataStruct data = processedDataFor(nInputs, inputs);
  outputs[0] = ptProcessedRowsToStructCell(data.diagnosticInfos);
  ptCleanupProcessedDataVector(data.diagnosticInfos);
}

void getAggregateProcessedData(int&, haArray* outputs[], int nInputs, const haArray* const inputs[]) {
  PTProcessedDataStruct data = processedDataFor(nInputs, inputs);
  PTAggregateDataMap aggregates = ptGetAggregateProcessedData(data.diagnosticInfos);
  ptCleanupProcessedDataVector(data.diagnosticInfos);
  outputs[0] = ptAggregatesToStructCell(aggregates);
}

// --------------------------------------------------------------------- Files

void saveToFile(int&, haArray*[], int nInputs, const haArray* const inputs[]) { pt::host::saveToFile(nInputs, inputs); }

void saveCLStartupData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  pt::host::saveCLStartupData(nInputs, inputs);
}

void loadTracerData(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  pt::host::loadTracerData(nInputs, inputs);
}

}  // namespace pt::bindings::methods
