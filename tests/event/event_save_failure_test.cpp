#include "event_fixture.h"

#include <sys/resource.h>

#include <csignal>

namespace {

// Writes past limit bytes fail (EFBIG) while it lives, so a save stops at a chosen field.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int);
};

// The section of one trigger without a create block: file id 4 bytes, quadrant helper 8,
// trigger 80, terminator 8. Each case lets the file end just before one of them.
TEST_F(EventTest, SaveFailuresGiveTheirCodesAndMessages) {
    TriggerFields trigger;
    trigger.type = 1;
    ASSERT_EQ(LoadSection(SectionBuilder().Group(5, {trigger}).End().Bytes()), 0);
    struct Case {
        rlim_t limit;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {4, kEventSaveHelper, "CVelEvent::Save() Failed to write quad helper. Last Error="},
        {12, kEventSaveTrigger, "CVelEvent::Save() Failed to write a trigger. Last Error="},
        {92, kEventSaveTerminator,
         "CVelEvent::Save() Failed to write terminating quad helper. Last Error="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        HANDLE file =
            CreateFileA(m_dir.EnginePath("out.evt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS);
        int result = 0;
        {
            FileSizeLimit limit(c.limit);
            result = g_eventManager.Save(file);
        }
        CloseHandle(file);
        EXPECT_EQ(result, c.code);
        EXPECT_EQ(m_capture.Lines().back(), WithLastError(c.message));
    }
}

} // namespace
