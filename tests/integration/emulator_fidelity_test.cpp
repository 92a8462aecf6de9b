// The emulator's answers against the service's documented answers: each fixture in
// tests/data/fidelity (see the README there) names a request and the documented shape of its
// answer; the emulator's answer must have every member of that shape with the same JSON kind
// and no member the shape lacks. Every action the emulator serves needs a fixture. Numbers
// print in plain decimal, as the service's do.
#include "emulator_test_client.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

using namespace EmulatorTest;
namespace json = boost::json;
namespace fs = std::filesystem;

fs::path FixtureDir() { return fs::path(__FILE__).parent_path().parent_path() / "data" / "fidelity"; }

struct Fixture {
    std::string file;
    json::object doc;
    std::string Product() const { return std::string(doc.at("product").as_string()); }
    std::string Action() const { return std::string(doc.at("action").as_string()); }
};

std::vector<Fixture> LoadFixtures() {
    std::vector<Fixture> out;
    for (const auto& entry : fs::directory_iterator(FixtureDir())) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        out.push_back({entry.path().filename().string(), json::parse(text.str()).as_object()});
    }
    std::sort(out.begin(), out.end(), [](const Fixture& a, const Fixture& b) { return a.file < b.file; });
    return out;
}

// JSON kinds as the service's documents distinguish them: one kind for every number.
std::string KindOf(const json::value& v) {
    switch (v.kind()) {
        case json::kind::object: return "object";
        case json::kind::array: return "array";
        case json::kind::string: return "string";
        case json::kind::bool_: return "bool";
        case json::kind::null: return "null";
        default: return "number";
    }
}

// Differences between the documented shape and the answer, one line each. Paths read like
// "Disks.Disk[].Size"; an array's first documented element is the shape of every element.
void Compare(const json::value& shape, const json::value& answer, const std::string& path,
             const std::set<std::string>& optional, std::vector<std::string>& out) {
    if (KindOf(shape) != KindOf(answer)) {
        out.push_back(path + ": " + KindOf(answer) + " where the service sends " + KindOf(shape));
        return;
    }
    if (shape.is_object()) {
        const auto& want = shape.get_object();
        const auto& got = answer.get_object();
        for (const auto& [name, member] : want) {
            const std::string at = path.empty() ? std::string(name) : path + "." + std::string(name);
            if (const auto* found = got.if_contains(name)) {
                Compare(member, *found, at, optional, out);
            } else if (optional.count(at) == 0) {
                out.push_back(at + ": missing");
            }
        }
        for (const auto& [name, member] : got) {
            if (!want.contains(name)) out.push_back((path.empty() ? "" : path + ".") + std::string(name) + ": never sent by the service");
        }
    } else if (shape.is_array()) {
        const auto& want = shape.get_array();
        const auto& got = answer.get_array();
        if (want.empty()) {
            if (!got.empty()) out.push_back(path + ": elements the fixture gives no shape for");
            return;
        }
        for (const auto& element : got) Compare(want.front(), element, path + "[]", optional, out);
    }
}

using EmulatorFidelityTest = WireTest;

TEST_F(EmulatorFidelityTest, AnswersHaveTheDocumentedMembersAndKinds) {
    const std::map<std::string, std::pair<const char*, const char*>> hosts = {
        {"ecs", {"ecs.aliyuncs.com", kEcs}}, {"vpc", {"vpc.aliyuncs.com", kVpc}}, {"rds", {"rds.aliyuncs.com", kRds}}};
    const auto fixtures = LoadFixtures();
    ASSERT_FALSE(fixtures.empty()) << FixtureDir();
    for (const Fixture& fixture : fixtures) {
        SCOPED_TRACE(fixture.file);
        emu.Reset();
        if (const auto* seed = fixture.doc.if_contains("seed")) emu.Seed(*seed);
        Params params{{"Action", fixture.Action()}};
        if (const auto* request = fixture.doc.if_contains("request")) {
            for (const auto& [name, value] : request->as_object()) params.emplace_back(name, value.as_string());
        }
        const auto& [host, version] = hosts.at(fixture.Product());
        const Response r = client->Api(signer, host, version, params);
        ASSERT_EQ(r.status, 200) << r.error << r.body;
        std::set<std::string> optional;
        if (const auto* list = fixture.doc.if_contains("optional")) {
            for (const auto& path : list->as_array()) optional.emplace(path.as_string());
        }
        std::vector<std::string> differences;
        Compare(fixture.doc.at("response"), json::parse(r.body), "", optional, differences);
        std::string text;
        for (const auto& line : differences) text += "\n  " + line;
        EXPECT_TRUE(differences.empty()) << fixture.file << ":" << text;
    }
}

TEST(EmulatorFidelityCoverageTest, EveryServedActionHasAFixture) {
    std::set<std::string> covered;
    for (const Fixture& fixture : LoadFixtures()) covered.insert(fixture.Product() + "." + fixture.Action());
    for (const auto& entry : AcwEmulator::BuildActionTable().Entries()) {
        const std::string name = std::string(AcwEmulator::ProductKey(entry.product)) + "." + entry.action;
        EXPECT_EQ(covered.count(name), 1u) << name << " has no fixture in " << FixtureDir();
    }
}

// The comparison itself: a missing member, a wrong kind and an extra member are all found.
TEST(EmulatorFidelityCompareTest, FindsEachKindOfDifference) {
    const auto shape = json::parse(R"({"A":1,"B":{"C":[{"D":"x"}]},"E":true,"F":""})");
    const auto answer = json::parse(R"({"A":1.5,"B":{"C":[{"D":"y"},{"D":2}]},"E":true,"G":0})");
    std::vector<std::string> out;
    Compare(shape, answer, "", {}, out);
    EXPECT_EQ(out, (std::vector<std::string>{"B.C[].D: number where the service sends string", "F: missing",
                                             "G: never sent by the service"}));
    out.clear();
    Compare(shape, answer, "", {"F"}, out);
    EXPECT_EQ(out.size(), 2u);
}

// Answers print floats in plain decimal as the service does, never in exponent form.
TEST(EmulatorJsonTextTest, FloatsPrintInPlainDecimal) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {16.0, "16"}, {0.5, "0.5"}, {0.98, "0.98"}, {1e21, "1000000000000000000000"},
        {0.000001, "0.000001"}, {-2.25, "-2.25"}};
    for (const auto& [number, text] : cases) EXPECT_EQ(AcwEmulator::ToJsonText(json::value(number)), text) << number;
    EXPECT_EQ(AcwEmulator::ToJsonText(json::parse(R"({"a":[1,true,null,"x\"y"],"b":{}})")), R"({"a":[1,true,null,"x\"y"],"b":{}})");
}

}  // namespace
