#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "varnel/engine/ErrorTexts.h"
#include "varnel/platform/FileOutput.h"

namespace Quorvex::VarnelNet::Cli {

// Where the tool writes what it renders. Write throws Failure (naming the output, with the
// system's reason) or Interrupted; Finish completes the output.
class Sink {
public:
    virtual ~Sink() = default;
    virtual void Write(const void* data, std::size_t length) = 0;
    virtual void Finish() = 0;
};

// -o FILE, through the library's FileOutput: an existing file is replaced at Finish, and not
// before. Destroyed unfinished, it leaves the old file as it was and no temporary file.
class FileSink : public Sink {
public:
    // Throws Failure when the file cannot be created; a failure says `refusal` (the kind of
    // file, "Unable to create or write this wave file.") and the system's reason.
    explicit FileSink(const std::string& path, const char* refusal = ErrorText::kWaveFile);
    ~FileSink() override;
    void Write(const void* data, std::size_t length) override;
    void Finish() override;

private:
    [[noreturn]] void Fail();

    std::string m_path;
    const char* m_refusal;
    FileOutput m_file;
};

// A stream the tool does not own (standard output), written as the bytes come. A signal that
// interrupts a blocked write stops the tool.
class StreamSink : public Sink {
public:
    explicit StreamSink(std::FILE* stream);
    void Write(const void* data, std::size_t length) override;
    void Finish() override;

private:
    int m_fd;
};

}  // namespace Quorvex::VarnelNet::Cli
