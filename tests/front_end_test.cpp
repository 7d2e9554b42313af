#include "fields/paste.h"
#include "ui/front_end.h"
#include "ui/res/resource.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <tuple>

namespace {

// Stands in for the platform: answers file dialogs from a queue and records each call.
class RecordingShell : public Shell {
  public:
    std::deque<std::optional<std::string>> answers; // for IN and OUT, in order
    std::vector<std::string> calls;
    std::vector<Job> jobs;
    bool thread_starts = true;

    std::optional<Path> ask_open_file(const Path& seed) override {
        return answer("open " + seed.string());
    }
    std::optional<Path> ask_save_file(const Path& seed) override {
        return answer("save " + seed.string());
    }
    void beep() override { calls.push_back("beep"); }
    void enable_fields(bool begin, bool end, bool size, bool in, bool out) override {
        std::string states = "enable ";
        for (const bool on : {begin, end, size, in, out})
            states += on ? '1' : '0';
        calls.push_back(states);
    }
    bool start_job(const Job& job) override {
        calls.push_back("start");
        if (thread_starts) jobs.push_back(job);
        return thread_starts;
    }
    void show_thread_error() override { calls.push_back("thread error"); }
    void end_dialog() override { calls.push_back("end"); }

  private:
    std::optional<Path> answer(const std::string& call) {
        calls.push_back(call);
        const std::optional<std::string> name = answers.front();
        answers.pop_front();
        if (!name) return std::nullopt;
        return Path(*name);
    }
};

class FrontEndTest : public ::testing::Test {
  public:
    FrontEnd state;
    RecordingShell shell;

    void command(int control) { on_command(state, shell, control); }
    void drop(const std::vector<std::string>& names) {
        on_drop(state, shell, std::vector<Path>(names.begin(), names.end()));
    }

  protected:
    void SetUp() override { busy = false; }
    void TearDown() override { busy = false; }
};

struct SelectionCase {
    int control;
    std::int32_t operation;
    std::int32_t drop_target;
    const char* enabled; // begin, end, size, in, out
};

TEST_F(FrontEndTest, RadioButtonsSelectTheirRow) {
    const SelectionCase cases[] = {
        {IDC_CUT_RANGE, CutRange, DropAlternately, "enable 11011"},
        {IDC_INSERT, InsertBytes, DropAlternately, "enable 10011"},
        {IDC_CREATE, CreateZeroFile, DropToOutput, "enable 00101"},
        {IDC_PATCH, SetPatch, DropToInput, "enable 11010"},
        {IDC_COMPARE, CompareFiles, DropAlternately, "enable 00011"},
        {IDC_CUT, CutBytes, DropAlternately, "enable 10111"},
    };
    state.input_path = "in";
    for (const SelectionCase& c : cases) {
        state.next_drop_to_input = false;
        command(c.control);
        EXPECT_EQ(state.operation, c.operation);
        EXPECT_EQ(state.drop_target, c.drop_target);
        EXPECT_TRUE(state.next_drop_to_input);
        EXPECT_EQ(shell.calls.back(), c.enabled);
    }
    EXPECT_EQ(state.input_path, "in");
    EXPECT_TRUE(state.output_unset);
}

struct DropCase {
    const char* name;
    std::function<void(FrontEndTest&)> steps;
    const char* input;
    const char* output;
    bool next_drop_to_input;
};

const std::string LONG_NAME(MAX_PATH_CHARS + 1, 'L');
const std::string LONGEST_NAME(MAX_PATH_CHARS, 'M');

TEST_F(FrontEndTest, DropRouting) {
    const DropCase cases[] = {
        {"one at a time alternates",
         [](FrontEndTest& t) {
             t.drop({"a"});
             t.drop({"b"});
             t.drop({"c"});
         },
         "c", "b", false},
        {"two in one drop",
         [](FrontEndTest& t) {
             t.drop({"a", "b"});
         },
         "a", "b", true},
        {"three in one drop",
         [](FrontEndTest& t) {
             t.drop({"a", "b", "c"});
         },
         "c", "b", false},
        {"after IN the next goes out",
         [](FrontEndTest& t) {
             t.shell.answers = {"x"};
             t.command(IDC_IN);
             t.drop({"a"});
         },
         "x", "a", true},
        {"a cancelled IN changes nothing",
         [](FrontEndTest& t) {
             t.shell.answers = {std::nullopt};
             t.command(IDC_IN);
             t.drop({"a"});
         },
         "a", "", false},
        {"the selected button clicked again",
         [](FrontEndTest& t) {
             t.drop({"a"});
             t.command(IDC_CUT);
             t.drop({"b"});
         },
         "b", "", false},
        {"set patch: all to the input",
         [](FrontEndTest& t) {
             t.command(IDC_PATCH);
             t.drop({"a", "b"});
             t.drop({"c"});
         },
         "c", "", true},
        {"create: all to the output",
         [](FrontEndTest& t) {
             t.command(IDC_CREATE);
             t.drop({"a"});
             t.drop({"b"});
         },
         "", "b", true},
        {"a cancelled first OUT sends the next drop in",
         [](FrontEndTest& t) {
             t.drop({"a"});
             t.shell.answers = {std::nullopt};
             t.command(IDC_OUT);
             t.drop({"b"});
         },
         "b", "", false},
        {"a confirmed OUT leaves the routing",
         [](FrontEndTest& t) {
             t.shell.answers = {"x", "y"};
             t.command(IDC_IN);
             t.command(IDC_OUT);
             t.drop({"a"});
         },
         "a", "y", false},
        {"a later OUT leaves the routing",
         [](FrontEndTest& t) {
             t.drop({"a", "b", "c"});
             t.shell.answers = {"y"};
             t.command(IDC_OUT);
             t.drop({"d"});
         },
         "c", "d", true},
        {"a name too long for a slot is not taken",
         [](FrontEndTest& t) {
             t.drop({"a"});
             t.drop({LONG_NAME});
         },
         "a", "", false},
        {"too long amid others",
         [](FrontEndTest& t) {
             t.drop({"a", LONG_NAME, "b"});
         },
         "a", "b", true},
        {"the longest name that fits", [](FrontEndTest& t) { t.drop({LONGEST_NAME}); },
         LONGEST_NAME.c_str(), "", false},
        {"under create a long name keeps the output",
         [](FrontEndTest& t) {
             t.command(IDC_CREATE);
             t.drop({"a"});
             t.drop({LONG_NAME});
         },
         "", "a", true},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.name);
        state = FrontEnd{};
        shell = RecordingShell{};
        c.steps(*this);
        EXPECT_EQ(state.input_path, c.input);
        EXPECT_EQ(state.output_path, c.output);
        EXPECT_EQ(state.next_drop_to_input, c.next_drop_to_input);
        EXPECT_EQ(state.output_unset, std::string(c.output).empty());
    }
}

TEST_F(FrontEndTest, EveryDropBeeps) {
    drop({});
    drop({LONG_NAME});
    drop({"a", "b"});
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"beep", "beep", "beep"}));
}

TEST_F(FrontEndTest, FileDialogsAreSeeded) {
    shell.answers = {std::nullopt, "first", "second", "in.bin", "in2.bin"};
    command(IDC_OUT);
    command(IDC_OUT);
    command(IDC_OUT);
    command(IDC_IN);
    command(IDC_IN);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"save new.data", "save new.data", "save first",
                                                     "open ", "open in.bin"}));
    EXPECT_EQ(state.output_path, "second");
    EXPECT_EQ(state.input_path, "in2.bin");

    // A dropped output is what OUT offers next.
    FrontEnd dropped;
    RecordingShell other;
    other.answers = {std::nullopt};
    on_command(dropped, other, IDC_CREATE);
    on_drop(dropped, other, {"made.bin"});
    on_command(dropped, other, IDC_OUT);
    EXPECT_EQ(other.calls.back(), "save made.bin");
}

TEST_F(FrontEndTest, StartRunsOneJobAtATime) {
    state.input_path = "a";
    state.output_path = "b";
    command(IDC_COMPARE);
    command(IDC_START);
    ASSERT_EQ(shell.jobs.size(), 1u);
    EXPECT_EQ(shell.jobs[0].operation, CompareFiles);
    EXPECT_EQ(shell.jobs[0].input_path, "a");
    EXPECT_EQ(shell.jobs[0].output_path, "b");
    EXPECT_TRUE(busy);

    command(IDC_START); // while the job runs, or its box is open
    EXPECT_EQ(shell.jobs.size(), 1u);

    busy = false; // the job has ended
    shell.thread_starts = false;
    command(IDC_START);
    EXPECT_FALSE(busy);
    EXPECT_EQ(shell.calls.back(), "thread error");

    shell.thread_starts = true;
    command(IDC_START);
    EXPECT_EQ(shell.jobs.size(), 2u);
}

TEST_F(FrontEndTest, CloseAndOtherCommands) {
    for (const int control : {1 /* IDOK */, IDC_BEGIN, IDC_END, IDC_SIZE, IDC_SKIN, 0})
        command(control);
    EXPECT_TRUE(shell.calls.empty());
    command(2 /* IDCANCEL */);
    EXPECT_EQ(shell.calls, std::vector<std::string>{"end"});
}

struct PasteCase {
    FieldKind kind;
    const wchar_t* clipboard;
    const wchar_t* field;
    std::size_t selection_start, selection_end;
    const wchar_t* pasted; // null: refused
};

constexpr FieldKind DEC = FieldKind::decimal;
constexpr FieldKind HEX = FieldKind::hex;

TEST(Paste, TakenOnlyAsTheNumberMeant) {
    const PasteCase rows[] = {
        {DEC, L"2048", L"", 0, 0, L"2048"},
        {DEC, L"", L"", 0, 0, nullptr}, // nothing to paste: the selection stays
        {DEC, L"2,048", L"", 0, 0, nullptr},
        {DEC, L"12ab", L"", 0, 0, nullptr},
        {DEC, L" 7", L"", 0, 0, L"7"},
        {DEC, L"-1", L"", 0, 0, nullptr},
        {DEC, L"\uFF12", L"", 0, 0, nullptr} /* a full-width 2 */,
        {DEC, L"1048576000", L"0", 0, 1, nullptr}, // ten digits are never cut to nine
        {DEC, L"104857600", L"0", 0, 1, L"104857600"},
        {DEC, L"\t2048\r\n", L"1", 1, 1, L"2048"},
        {DEC, L" \r\n ", L"1", 0, 1, nullptr},
        {DEC, L"99", L"12345678", 8, 8, nullptr}, // the field would hold ten digits
        {DEC, L"99", L"12345678", 2, 5, L"99"},   // over a selection: 1299678
        {DEC, L"99", L"12345678", 5, 2, L"99"},   // a selection made leftwards
        {DEC, L"0x10", L"", 0, 0, nullptr},
        {HEX, L"0x00000010", L"0", 0, 1, L"00000010"},
        {HEX, L"0x89ABCDEF", L"0", 0, 1, L"89ABCDEF"},
        {HEX, L"0x89ABCDEF\r\n", L"", 0, 0, L"89ABCDEF"},
        {HEX, L"0x1234567", L"0", 0, 1, L"0x1234567"}, // fits with its prefix: kept
        {HEX, L"0x10", L"0", 0, 1, L"0x10"},
        {HEX, L"0x100000000", L"", 0, 0, nullptr},   // nine digits even without it
        {HEX, L"0x0000010", L"1", 1, 1, nullptr},    // a prefix inside the field
        {HEX, L"0x0000010", L"1", 0, 0, L"0000010"}, // 0x101 either way
        {HEX, L"0x0x10", L"", 0, 0, nullptr},
        {HEX, L"0X10", L"", 0, 0, nullptr},
        {HEX, L"12G", L"", 0, 0, nullptr},
        {HEX, L"ab", L"0x12", 4, 4, L"ab"},
        {HEX, L"ab", L"0x1234567", 9, 9, nullptr},
        {HEX, L"FF", L"ABCDEF01", 2, 6, L"FF"},
        {HEX, L"\u00C9", L"", 0, 0, nullptr},
        {HEX, L"\u0141", L"", 0, 0, nullptr}, // its low byte is an A
        {HEX, L"1", L"0", 5, 9, L"1"},        // a selection past the text ends with it
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        const PasteCase& c = rows[row];
        const std::optional<std::wstring> pasted =
            pasted_text(c.kind, c.clipboard, c.field, c.selection_start, c.selection_end);
        EXPECT_EQ(pasted, c.pasted ? std::optional<std::wstring>(c.pasted) : std::nullopt)
            << "row " << row;
    }
}

TEST(AccessKey, TheCharacterAfterASingleAmpersand) {
    const std::tuple<const wchar_t*, wchar_t, bool> rows[] = {
        {L"&Begin address", L'b', true}, {L"&Begin address", L'B', true}, {L"S&tart", L's', false},
        {L"S&tart", L't', true},         {L"Size", L's', false},          {L"A&&B", L'b', false},
        {L"A&&&B", L'b', true},          {L"End&", L'&', false},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        const auto& [caption, key, matches] = rows[row];
        EXPECT_EQ(has_access_key(caption, key), matches) << "row " << row;
    }
}

} // namespace
