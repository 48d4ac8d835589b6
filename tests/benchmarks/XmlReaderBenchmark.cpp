// Parses one generated settings-like document of about 5 MB with our reader,
// pugixml and tinyxml2 (each building and releasing its whole tree), takes the
// fastest of repeated runs and prints MB/s, ratios and allocations per parse.
#include "Halvorn/XmlElement.h"
#include "Halvorn/XmlEncoding.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

long gAllocations = 0;

void* CountedMalloc(std::size_t size)
{
    ++gAllocations;
    return std::malloc(size);
}

const std::size_t DocumentSize = 5u << 20;
const int Repetitions = 15;

std::string MakeDocument()
{
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- generated settings for the reader benchmark -->\n"
        "<Halvorn-demo-settings>\n"
        "  <name>Benchmark &amp; friends</name>\n"
        "  <version>.666</version>\n"
        "  <soundtrack file=\"music/track.ogg\"/>\n"
        "  <demoparts>\n";
    const char* const classes[] = {"lib.ClearScreen", "lib.Image", "lib.TestPartVao"};
    for (int i = 0; text.size() < DocumentSize; ++i) {
        const std::string n = std::to_string(i);
        text += "    <!-- part " + n + ": fades in &amp; out, see notes -->\n";
        text += "    <part start=\"" + std::to_string(i * 0.25) + "\" length=\"3.5\" name=\"part" + n + "\" class=\"" +
                classes[i % 3] + "\" priority=\"" + std::to_string(i % 7) + "\" clearBackground=\"" +
                (i % 2 ? "true" : "false") + "\">\n";
        text += "      <param color=\"0.1 0.2 0." + std::to_string(i % 10) + " 1.0\" blend=\"alpha\"/>\n";
        text += "      <param image=\"textures/img" + n +
                ".png\" align=\"center middle\" note=\"a &lt; b &amp;&amp; c &gt; d\"/>\n";
        text += "      <scene file=\"scene" + n + ".scene\"/>\n";
        text += "      <description>Part number " + n +
                " shows &quot;something&quot; &#8212; with a caf&#233;\n"
                "        and a second line of text</description>\n";
        text += "    </part>\n";
    }
    text += "  </demoparts>\n</Halvorn-demo-settings>\n";
    return text;
}

const std::string& Document()
{
    static const std::string document = MakeDocument();
    return document;
}

// Only one parse is counted, outside the timed loop.
template <typename Parse> long CountAllocations(Parse parse)
{
    gAllocations = 0;
    parse();
    return gAllocations;
}

int VexelParts()
{
    XmlParseResult result;
    const XmlElement root = XmlElement::ParseText(Document().c_str(), "Halvorn-demo-settings", &result);
    return result.code == XmlParseResult::Ok ? root.Child("demoparts").ChildCount("part") : -1;
}

int PugixmlParts()
{
    pugi::xml_document document;
    if (!document.load_buffer(Document().data(), Document().size())) {
        return -1;
    }
    const auto parts = document.child("Halvorn-demo-settings").child("demoparts").children("part");
    return static_cast<int>(std::distance(parts.begin(), parts.end()));
}

int Tinyxml2Parts()
{
    tinyxml2::XMLDocument document;
    if (document.Parse(Document().data(), Document().size()) != tinyxml2::XML_SUCCESS) {
        return -1;
    }
    int count = 0;
    for (auto* part = document.FirstChildElement("Halvorn-demo-settings")->FirstChildElement("demoparts")
                          ->FirstChildElement("part");
         part; part = part->NextSiblingElement("part")) {
        ++count;
    }
    return count;
}

void Finish(benchmark::State& state, long allocations, int parts)
{
    if (parts <= 0) {
        state.SkipWithError("the document did not parse");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Document().size()));
    state.counters["allocs"] = static_cast<double>(allocations);
    state.counters["parts"] = parts;
}

void BM_Vexel(benchmark::State& state)
{
    XmlEncoding::UseUtf8Table(true);
    const char* text = Document().c_str();
    for (auto _ : state) {
        XmlElement root = XmlElement::ParseText(text, "Halvorn-demo-settings", nullptr);
        benchmark::DoNotOptimize(root);
    }
    Finish(state, CountAllocations([&] { XmlElement::ParseText(text, "Halvorn-demo-settings", nullptr); }),
           VexelParts());
}

void BM_Pugixml(benchmark::State& state)
{
    pugi::set_memory_management_functions(CountedMalloc, std::free);
    for (auto _ : state) {
        pugi::xml_document document;
        benchmark::DoNotOptimize(document.load_buffer(Document().data(), Document().size()));
    }
    Finish(state, CountAllocations([] {
               pugi::xml_document document;
               document.load_buffer(Document().data(), Document().size());
           }),
           PugixmlParts());
}

void BM_Tinyxml2(benchmark::State& state)
{
    for (auto _ : state) {
        tinyxml2::XMLDocument document;
        benchmark::DoNotOptimize(document.Parse(Document().data(), Document().size()));
    }
    Finish(state, CountAllocations([] {
               tinyxml2::XMLDocument document;
               document.Parse(Document().data(), Document().size());
           }),
           Tinyxml2Parts());
}

double Minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

// The console report, plus each reader's best throughput for the summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
                // CPU time: the machine is shared, wall time says more about the neighbours.
                const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
                mMegabytesPerSecond[run.run_name.function_name] = Document().size() / seconds / 1e6;
                mAllocations[run.run_name.function_name] = run.counters.at("allocs").value;
            }
        }
    }

    void Summarize() const
    {
        // The table's "min" rows give the lowest rate, not the rate of the fastest run.
        std::printf("\nDocument: %zu bytes; rates from the fastest of %d runs (CPU time)\n", Document().size(),
                    Repetitions);
        const double ours = mMegabytesPerSecond.count("BM_Vexel") ? mMegabytesPerSecond.at("BM_Vexel") : 0.0;
        for (const auto& [name, rate] : mMegabytesPerSecond) {
            std::printf("%-12s %8.1f MB/s  ours/this %5.2f  allocations per parse %.0f\n", name.c_str(), rate,
                        ours / rate, mAllocations.at(name));
        }
    }

private:
    std::map<std::string, double> mMegabytesPerSecond;
    std::map<std::string, double> mAllocations;
};

} // namespace

void* operator new(std::size_t size)
{
    ++gAllocations;
    if (void* memory = std::malloc(size ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

BENCHMARK(BM_Vexel)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Pugixml)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Tinyxml2)->Unit(benchmark::kMillisecond)->Repetitions(Repetitions)->ComputeStatistics("min", Minimum);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Summarize();
    benchmark::Shutdown();
    return 0;
}
