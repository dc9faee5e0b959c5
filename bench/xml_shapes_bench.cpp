// Parse time per byte of the XML wrapper for the input shapes that cost libxml2 the most, from
// 1 KiB to 50 MiB: within the bounds of parse_limits.h it stays flat (bytes_per_second does not
// fall as the text grows), and a text beyond them is refused in time proportional to its length.
//   qor_xml_shapes_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "xml/parse_limits.h"
#include "xml/xml_parser.h"

namespace {

std::u16string number(std::size_t n) {
    const std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

// Elements that each carry as many attributes as allowed: the duplicate check's worst case.
std::u16string mostAttributes(std::size_t bytes) {
    std::u16string element = u"<e";
    for (std::size_t i = 0; i < qor::xml::kMaxAttributesPerElement; ++i) {
        element += u" a" + number(i) + u"='1'";
    }
    element += u"/>";
    std::u16string text = u"<r>";
    while (text.size() * sizeof(char16_t) < bytes) {
        text += element;
    }
    return text + u"</r>";
}

// As many namespace declarations in scope as allowed, and elements and attributes whose prefix
// is the one declared first: every lookup walks all declarations.
std::u16string mostNamespaces(std::size_t bytes) {
    std::u16string text = u"<r";
    for (std::size_t i = 0; i < qor::xml::kMaxNamespacesInScope; ++i) {
        text += u" xmlns:p" + number(i) + u"='urn:" + number(i) + u"'";
    }
    text += u">";
    while (text.size() * sizeof(char16_t) < bytes) {
        text += u"<p0:e p0:a='1' p0:b='2'/>";
    }
    return text + u"</r>";
}

// A typical message body, for comparison: nested elements with a few attributes and text.
std::u16string typical(std::size_t bytes) {
    std::u16string text = u"<bindings><eventBindings>";
    while (text.size() * sizeof(char16_t) < bytes) {
        text +=
            u"<binding propertyName='volume'><source id='slider' event='changed' "
            u"type='Slider'/><data><unit>dB</unit></data></binding>";
    }
    return text + u"</eventBindings></bindings>";
}

// One element with ever more attributes, which libxml2 alone would take quadratic time over.
std::u16string beyondTheBound(std::size_t bytes) {
    std::u16string text = u"<applet";
    for (std::size_t i = 0; text.size() * sizeof(char16_t) < bytes; ++i) {
        text += u" a" + number(i) + u"='1'";
    }
    return text + u"/>";
}

template <std::u16string (*Shape)(std::size_t)>
void parse(benchmark::State& state) {
    static std::map<int64_t, std::u16string> texts;
    const std::u16string& text =
        texts.try_emplace(state.range(0), Shape(state.range(0))).first->second;
    bool parsed = false;
    for (auto _ : state) {
        qor::xml::XMLParser parser;
        parsed = parser.initWithXMLString(text);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(text.size() * sizeof(char16_t)));
    state.counters["parsed"] = parsed ? 1 : 0;
}

void sizes(benchmark::internal::Benchmark* benchmark) {
    for (const int64_t bytes : {int64_t{1} << 10, int64_t{32} << 10, int64_t{1} << 20,
                                int64_t{16} << 20, int64_t{50} << 20}) {
        benchmark->Arg(bytes);
    }
    benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK(parse<mostAttributes>)->Name("mostAttributes")->Apply(sizes);
BENCHMARK(parse<mostNamespaces>)->Name("mostNamespaces")->Apply(sizes);
BENCHMARK(parse<typical>)->Name("typical")->Apply(sizes);
BENCHMARK(parse<beyondTheBound>)->Name("beyondTheBound")->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
