#include "platform/qt/JsonSummary.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "app/Document.h"

namespace zelk {

namespace {

using Json = nlohmann::ordered_json;

const char kTypeLetter[kNumTypes] = {'C', 'O', 'N', 'S', 'A'};

// One line; a path or a name that is not UTF-8 keeps its other characters (the bad
// bytes become U+FFFD) instead of failing. Values that are not finite print as null.
std::string Line(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n"; }

// The weight variable named with -W=, or null.
Json WeightVariable(const std::string& name) {
    if (name.empty() || name == " " || name == "_ONE_") return nullptr;
    return name;
}

}  // namespace

std::optional<long long> LastRunSeed(const CZELKDoc& doc) { return static_cast<long long>(doc.cmd.uLastRunSeed); }

std::string LoadSummaryJson(const CZELKDoc& doc) {
    const DataSet& d = doc.data;
    Json j;
    if (doc.bNoData) {
        j["data_file"] = nullptr;
        return Line(j);
    }
    int dropped = 0;
    for (int f : d.aiDropRec) dropped += f;
    j["data_file"] = d.sDataPath;
    j["records"] = d.iNumRec;
    j["dropped_records"] = dropped;
    Json vars = Json::array();
    for (int t = 0; t < kNumTypes; ++t) {
        const StringList& names = d.Names(t);
        const RealList& ranges = doc.prep.Range(t);
        for (size_t k = 0; k < names.size(); ++k) {
            Json v;
            v["name"] = names[k];
            v["type"] = std::string(1, kTypeLetter[t]);
            v["range"] = k < ranges.size() ? ranges[k] : 0.0;
            vars.push_back(v);
        }
    }
    j["variables"] = vars;
    j["weight_variable"] = WeightVariable(d.asWeightVar.empty() ? std::string() : d.asWeightVar[0]);
    // A picture of the load, when one was asked for.
    if (!doc.asFilesWritten.empty()) j["files_written"] = doc.asFilesWritten;
    if (!doc.asFilesNotWritten.empty()) j["files_not_written"] = doc.asFilesNotWritten;
    return Line(j);
}

std::string RunSummaryJson(const CZELKDoc& doc, const std::string& dataFile) {
    const CommandLine& cmd = doc.cmd;
    Json j;
    const bool surface = cmd.iBatchSUT == 2;
    j["method"] = surface ? "SuT" : "NRT";
    j["data_file"] = dataFile;
    if (surface) {
        j["points"] = cmd.iLastRunIter;
    } else {
        j["weight_variable"] = WeightVariable(cmd.sWeightVar);
        j["converged"] = cmd.bLastRunConverged != 0;
        j["iterations"] = cmd.iLastRunIter;
        j["Lu"] = cmd.dLastRunLu;
        // By name; a name that stands twice in the data file gets "#2", "#3", ... from
        // its second occurrence on, so that no weight is lost.
        Json w = Json::object();
        for (size_t k = 0; k < cmd.adLastRunW.size(); ++k) {
            const std::string name =
                k < cmd.asLastRunNames.size() ? cmd.asLastRunNames[k] : "w" + std::to_string(k + 1);
            std::string key = name;
            for (int n = 2; w.contains(key); ++n) key = name + "#" + std::to_string(n);
            w[key] = cmd.adLastRunW[k];
        }
        j["weights"] = w;
        const std::optional<long long> seed = LastRunSeed(doc);
        j["seed"] = seed ? Json(*seed) : Json(nullptr);
    }
    j["files_written"] = doc.asFilesWritten;
    // Files that could not be written (their previous contents are unchanged).
    if (!doc.asFilesNotWritten.empty()) j["files_not_written"] = doc.asFilesNotWritten;
    // The run's clock counts milliseconds.
    j["elapsed_seconds"] = std::round(cmd.dLastRunElapsedSec * 1000.0) / 1000.0;
    return Line(j);
}

}  // namespace zelk
