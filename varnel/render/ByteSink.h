#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "varnel/engine/ErrorTexts.h"
#include "varnel/platform/FileOutput.h"

namespace Quorvex::VarnelNet::Render {

// An output that could not be written: target names it (a path as given, "standard output"),
// what() says why, with the system's reason.
class OutputFailure : public std::runtime_error {
public:
    OutputFailure(std::string target, const std::string& reason) : std::runtime_error(reason), m_target(std::move(target)) {}
    const std::string& Target() const { return m_target; }

private:
    std::string m_target;
};

// Where a rendering's bytes go. Write throws OutputFailure (or whatever a stop check throws);
// Finish completes the output.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* data, std::size_t length) = 0;
    virtual void Finish() = 0;
};

// A file, through FileOutput: an existing file is replaced at Finish and not before; destroyed
// unfinished, the sink leaves the old file as it was and no temporary file.
class FileSink final : public ByteSink {
public:
    // Throws OutputFailure when the file cannot be created; a failure says `refusal` (the kind
    // of file, "Unable to create or write this wave file.") and the system's reason.
    explicit FileSink(std::string path, const char* refusal = ErrorText::kWaveFile);
    ~FileSink() override;
    void Write(const void* data, std::size_t length) override;
    void Finish() override;

private:
    [[noreturn]] void Fail();

    std::string m_path;
    const char* m_refusal;
    FileOutput m_file;
};

// A descriptor the sink does not own (standard output), written as the bytes come. A write
// that a signal interrupts runs `interrupted`, which may throw to stop, and goes on.
class DescriptorSink final : public ByteSink {
public:
    DescriptorSink(int fd, std::string name, std::function<void()> interrupted = {});
    void Write(const void* data, std::size_t length) override;
    void Finish() override {}

private:
    int m_fd;
    std::string m_name;
    std::function<void()> m_interrupted;
};

// The bytes kept in memory.
class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    void Write(const void* data, std::size_t length) override;
    void Finish() override {}

private:
    std::vector<std::uint8_t>& m_bytes;
};

// Bytes dropped as they come: a rendering pulled only for its labels.
class DiscardSink final : public ByteSink {
public:
    void Write(const void*, std::size_t) override {}
    void Finish() override {}
};

}  // namespace Quorvex::VarnelNet::Render
