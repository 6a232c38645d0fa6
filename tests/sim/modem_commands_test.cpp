// The AT dialogue of the probe and the loader download, as the flasher reads
// them: echo, then the answer, with everything it relies on before "OK".
#include "modem_rig.h"

#include <gtest/gtest.h>

using sim::ModemConfig;
using sim::ModemMode;

namespace {

struct Exchange {
    const char* command;
    const char* answer;
};

void expect_answers(ModemRig& rig, std::initializer_list<Exchange> exchanges)
{
    for (const Exchange& e : exchanges)
        EXPECT_EQ(rig.say(e.command), e.answer) << "command " << e.command;
}

}  // namespace

TEST(ModemCommands, ModemHoldingAResidentLoader)
{
    ModemRig rig(resident_modem());
    expect_answers(rig, {
                            {"AAAAT\r", "AAAAT\r\r\nOK\r\n"},
                            {"AT\r", "AT\r\r\nOK\r\n"},
                            {"AT&&F\r", "AT&&F\r\r\nOK\r\n"},
                            {"ATI5\r", "ATI5\r\r\nI SIMULATED MODEM\r\n\r\nOK\r\n"},
                            {"AT&&FFL\r", "AT&&FFL\r\r\n1A2B,40,\r\n\r\nOK\r\n"},
                            {"ati5\r", "ati5\r\r\nI SIMULATED MODEM\r\n\r\nOK\r\n"},
                            {"ATX7\r", "ATX7\r\r\nERROR\r\n"},
                            {"\r", "\r"},
                        });
    EXPECT_EQ(rig.modem.mode(), ModemMode::Command);
}

TEST(ModemCommands, TypeLetterStandsAtPositionSevenAfterEchoAndLineEnd)
{
    for (char letter : {'C', 'I', 'S', 'U', 'P'}) {
        ModemConfig config;
        config.type_letter = letter;
        ModemRig rig(config);
        std::string answer = rig.say("ATI5\r");
        ASSERT_GT(answer.size(), 7u);
        EXPECT_EQ(answer.substr(0, 7), "ATI5\r\r\n");
        EXPECT_EQ(answer[7], letter);
        EXPECT_EQ(answer.find("RRFL"), std::string::npos);
    }
}

TEST(ModemCommands, ResidentLoaderRunningDescribesItselfBeforeOk)
{
    ModemConfig config = resident_modem(true);
    config.resident = {true, 0x10, 0xBEEF};
    config.rrfl_version = "Ver:4.3";
    ModemRig rig(config);

    std::string ati5 = rig.say("ATI5\r");
    EXPECT_EQ(ati5, "ATI5\r\r\nI RRFL,10,BEEF\r\n\r\nOK\r\n");
    EXPECT_LT(ati5.find(",10,BEEF"), ati5.find("OK"));
    EXPECT_EQ(rig.say("AT&&FFL\r"), "AT&&FFL\r\r\nBEEF,10,\r\n\r\nOK\r\n");

    std::string go = rig.say("AT&&FGO\r");
    EXPECT_EQ(go, "AT&&FGO\r\r\nVer:4.3\r\n\r\nOK\r\n");
    EXPECT_EQ(rig.modem.mode(), ModemMode::Loader);
    EXPECT_TRUE(rig.modem.resident().present);  // the resident loader survives its own erase
}

TEST(ModemCommands, ModemWithoutResidentLoaderIsSilentToFlAndRefusesGo)
{
    ModemRig rig;
    expect_answers(rig, {
                            {"AT&&FFL\r", "AT&&FFL\r"},
                            {"AT&&FGO\r", "AT&&FGO\r\r\nERROR\r\n"},
                        });
    EXPECT_EQ(rig.modem.mode(), ModemMode::Command);
}

TEST(ModemCommands, NotFlashableModemRefusesEveryFlashCommand)
{
    ModemConfig config = resident_modem();
    config.flashable = false;
    ModemRig rig(config);
    expect_answers(rig, {
                            {"AT\r", "AT\r\r\nOK\r\n"},
                            {"AT&&F\r", "AT&&F\r\r\nERROR\r\n"},
                            {"AT&&FFL\r", "AT&&FFL\r\r\nERROR\r\n"},
                            {"AT&&FGO\r", "AT&&FGO\r\r\nERROR\r\n"},
                        });
    EXPECT_EQ(rig.modem.mode(), ModemMode::Command);
}

TEST(ModemCommands, WithoutEchoOnlyTheAnswerComes)
{
    ModemConfig config;
    config.echo = false;
    ModemRig rig(config);
    EXPECT_EQ(rig.say("ATI5\r"), "\r\nI SIMULATED MODEM\r\n\r\nOK\r\n");
}

TEST(ModemCommands, CommandsAssembleAcrossPiecesAndIgnoreWhatPrecedesAt)
{
    ModemRig rig;
    EXPECT_EQ(rig.say("AT"), "");
    EXPECT_EQ(rig.say("I5\r"), "ATI5\r\r\nI SIMULATED MODEM\r\n\r\nOK\r\n");
    // A teardown "Y" left in command mode, then the next probe's first command.
    EXPECT_EQ(rig.say("Y"), "");
    EXPECT_EQ(rig.say("AAAAT\r"), "YAAAAT\r\r\nOK\r\n");
    // The LF of a terminal's CR LF starts no new command.
    EXPECT_EQ(rig.say("AT\r\nAT\r"), "AT\r\r\nOK\r\nAT\r\r\nOK\r\n");
}

TEST(ModemCommands, LoaderDownloadAcknowledgesRecordsAndStartsTheLoaderWithItsVersion)
{
    ModemRig rig(resident_modem());
    std::string loader = sim::make_loader_text("Ver:4.4");
    std::string last;
    size_t start = 0;
    while (start < loader.size()) {
        size_t end = loader.find('\n', start);
        std::string record = loader.substr(start, end - start);
        last = rig.say("at&&f" + record + "\r");
        if (record != ":00000001FF") {
            EXPECT_EQ(last, "at&&f" + record + "\r\r\nOK\r\n");
        }
        start = end + 1;
    }
    EXPECT_EQ(last, "at&&f:00000001FF\r\r\nVer:4.4\r\n\r\nOK\r\n");
    EXPECT_EQ(rig.modem.mode(), ModemMode::Loader);
    EXPECT_FALSE(rig.modem.resident().present);  // a downloaded loader erases everything
}

TEST(ModemCommands, DownloadedLoaderReportsTheVersionInItsDataUnlessConfigured)
{
    struct Case {
        std::optional<std::string> configured;
        const char* in_file;
        const char* reported;
    };
    for (const Case& c : {Case{std::nullopt, "Ver:4.3", "Ver:4.3"}, Case{std::string("Ver:9.9"), "Ver:4.4", "Ver:9.9"}}) {
        ModemConfig config;
        config.loader_version = c.configured;
        ModemRig rig(config);
        std::string answers;
        std::string loader = sim::make_loader_text(c.in_file);
        for (size_t start = 0, end; start < loader.size(); start = end + 1) {
            end = loader.find('\n', start);
            answers = rig.say("at&&f" + loader.substr(start, end - start) + "\r");
        }
        EXPECT_NE(answers.find(std::string("\r\n") + c.reported + "\r\n"), std::string::npos) << answers;
    }
}

TEST(ModemCommands, DamagedLoaderRecordIsRefusedAndTheLoaderNeverStarts)
{
    ModemRig rig;
    EXPECT_EQ(rig.say("at&&f:10000000F779832A30F3C1DD4BC1D9C26357AA7C8C\r"),
              "at&&f:10000000F779832A30F3C1DD4BC1D9C26357AA7C8C\r\r\nERROR\r\n");
    EXPECT_EQ(rig.say("at&&f:00000001FF\r"), "at&&f:00000001FF\r\r\nERROR\r\n");
    EXPECT_EQ(rig.modem.mode(), ModemMode::Command);
}
