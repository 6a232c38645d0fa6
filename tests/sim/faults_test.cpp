// Faults on demand: the --fault syntax, which events they hit, and what the
// modem then does.
#include "modem_rig.h"

#include <gtest/gtest.h>

using sim::FaultKind;
using sim::FaultScope;
using sim::FaultSpec;

namespace {

const std::string RECORD = ":0400000001020304F2";

FaultSpec fault(const std::string& text)
{
    FaultSpec spec;
    std::string error;
    EXPECT_TRUE(sim::parse_fault(text, spec, error)) << text << ": " << error;
    return spec;
}

// A resident loader running, its erase over, with these faults.
ModemRig loader_with(std::initializer_list<const char*> faults)
{
    sim::ModemConfig config = resident_modem();
    for (const char* f : faults)
        config.faults.push_back(fault(f));
    ModemRig rig(config);
    rig.say("AT&&FGO\r");
    rig.wait(rig.modem_erase_ms);
    return rig;
}

// What the flasher takes as an acknowledgement: "OK" without "NOK".
bool acknowledges(const std::string& text)
{
    return text.find("OK") != std::string::npos && text.find("NOK") == std::string::npos;
}

}  // namespace

TEST(FaultSpecs, ParseKindArgumentAndSelection)
{
    FaultSpec s = fault("late:2500@line=3-7");
    EXPECT_EQ(s.kind, FaultKind::Late);
    EXPECT_EQ(s.arg, 2500u);
    EXPECT_EQ(s.scope, FaultScope::ImageLine);
    EXPECT_EQ(s.first, 3u);
    EXPECT_EQ(s.last, 7u);

    s = fault("nok4@line=12-");
    EXPECT_EQ(s.kind, FaultKind::Nok);
    EXPECT_EQ(s.arg, 4u);
    EXPECT_EQ(s.first, 12u);
    EXPECT_EQ(s.last, UINT32_MAX);

    s = fault("silent@cmd=AT&&FFL");
    EXPECT_EQ(s.scope, FaultScope::Command);
    EXPECT_EQ(s.command, "AT&&FFL");

    s = fault("garbage@cmd=p0.25");
    EXPECT_EQ(s.arg, 64u);
    EXPECT_DOUBLE_EQ(s.probability, 0.25);
}

TEST(FaultSpecs, RejectMalformedSpecs)
{
    for (const char* text : {"silent", "explode@line=1", "silent@line=0", "silent@line=5-3", "silent@line=x",
                             "silent@line=AT", "silent@page=1", "nok1:3@line=1", "late:0@line=1", "late:x@line=1",
                             "silent@cmd=p1.5", "silent@cmd="}) {
        FaultSpec spec;
        std::string error;
        EXPECT_FALSE(sim::parse_fault(text, spec, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(FaultSelection, ByRangeTextAndProbability)
{
    sim::FaultPlan plan({fault("silent@line=3-4"), fault("nok2@cmd=at&&ffl")}, 1);
    std::vector<bool> silent;
    for (uint32_t n = 1; n <= 5; ++n)
        silent.push_back(plan.draw(FaultScope::ImageLine, n, "x").silent);
    EXPECT_EQ(silent, (std::vector<bool>{false, false, true, true, false}));
    EXPECT_EQ(plan.draw(FaultScope::Command, 1, "AT&&FFL").nok, 2);
    EXPECT_EQ(plan.draw(FaultScope::Command, 2, "AT&&FGO").nok, 0);

    auto hits = [](const char* spec, uint32_t seed) {
        sim::FaultPlan p({fault(spec)}, seed);
        int count = 0;
        for (uint32_t n = 1; n <= 1000; ++n)
            count += p.draw(FaultScope::ImageLine, n, "x").silent;
        return count;
    };
    EXPECT_EQ(hits("silent@line=p0", 1), 0);
    EXPECT_EQ(hits("silent@line=p1", 1), 1000);
    int some = hits("silent@line=p0.1", 42);
    EXPECT_GT(some, 50);
    EXPECT_LT(some, 150);
    EXPECT_EQ(hits("silent@line=p0.1", 42), some);  // the seed makes a run repeatable
}

TEST(FaultEffects, OnTheSecondImageLine)
{
    struct Case {
        const char* fault;
        bool acknowledged;
        const char* answer;  // exact, when given
        bool programmed;
    };
    const Case cases[] = {
        {"silent@line=2", false, "", false},
        {"nok1@line=2", false, "NOK1\r\n", false},
        {"nok2@line=2", false, "NOK2\r\n", false},
        {"nok3@line=2", false, "NOK3\r\n", false},
        {"nok4@line=2", false, "NOK4\r\n", false},
        {"rx-corrupt:3@line=2", false, nullptr, false},
        {"rx-drop@line=2", false, nullptr, false},
        {"tx-corrupt@line=2", false, nullptr, true},
        {"tx-drop@line=2", false, nullptr, true},
        {"garbage:100@line=2", true, nullptr, true},
        {"late:1500@line=2", true, "OK\r\n", true},
    };
    for (const Case& c : cases) {
        ModemRig rig = loader_with({c.fault});
        ASSERT_EQ(rig.say(":020000021000EC\r"), "OK\r\n") << c.fault;  // line 1 is untouched
        std::string answer = rig.say(RECORD + "\r", 1600);
        EXPECT_EQ(acknowledges(answer), c.acknowledged) << c.fault << ": " << answer;
        if (c.answer) {
            EXPECT_EQ(answer, c.answer) << c.fault;
        }
        EXPECT_EQ(rig.modem.flash().written(0x10000), c.programmed) << c.fault;
        // Line 3 is answered normally again.
        EXPECT_EQ(rig.say(":00000001FF\r"), "OK\r\n") << c.fault;
    }
}

TEST(FaultEffects, LateAnswerArrivesAfterTheFlashersOneSecond)
{
    ModemRig rig = loader_with({"late:1500@line=1"});
    EXPECT_EQ(rig.say(RECORD + "\r", 1499), "");
    EXPECT_EQ(rig.wait(1), "OK\r\n");
}

TEST(FaultEffects, GarbageBurstComesBeforeTheAnswerAndHoldsNoOk)
{
    ModemRig rig = loader_with({"garbage:100@line=1"});
    std::string answer = rig.say(RECORD + "\r");
    ASSERT_EQ(answer.size(), 104u);
    EXPECT_EQ(answer.substr(100), "OK\r\n");
    std::string noise = answer.substr(0, 100);
    EXPECT_EQ(noise.find_first_of(std::string("OK\0", 3)), std::string::npos);
}

TEST(FaultEffects, SilentCommandGetsNeitherEchoNorAnswer)
{
    sim::ModemConfig config = resident_modem();
    config.faults = {fault("silent@cmd=AT&&FFL"), fault("silent@cmd=2")};
    ModemRig rig(config);
    EXPECT_EQ(rig.say("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(rig.say("AT\r", 2000), "");
    EXPECT_EQ(rig.say("AT&&FFL\r", 2000), "");
    EXPECT_EQ(rig.say("AT\r"), "AT\r\r\nOK\r\n");
}

TEST(FaultEffects, EndlessStreamRunsAtLineSpeedUntilTheLineCloses)
{
    ModemRig rig = loader_with({"stream@line=1"});
    std::string out = rig.say(RECORD + "\r", 1000);
    out += rig.wait(1000);
    EXPECT_EQ(out.size(), 2u * sim::LINE_CHARS_PER_SECOND);
    EXPECT_EQ(out.find("OK"), std::string::npos);
    EXPECT_EQ(rig.say(RECORD + "\r", 10).size(), 115u);  // input is ignored, the stream goes on

    rig.modem.line_closed();
    EXPECT_EQ(rig.wait(1000), "");
    EXPECT_EQ(rig.modem.next_output_ms(), sim::NEVER);
}

TEST(FaultEffects, VanishAtALine)
{
    ModemRig rig = loader_with({"vanish@line=2"});
    EXPECT_EQ(rig.say(RECORD + "\r"), "OK\r\n");
    EXPECT_FALSE(rig.modem.vanished());
    EXPECT_EQ(rig.say(RECORD + "\r", 2000), "");
    EXPECT_TRUE(rig.modem.vanished());
}
