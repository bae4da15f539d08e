#pragma once

#include <functional>
#include <string>

#include "varnel/script/Parser.h"

namespace Quorvex::VarnelNet::Script {

// Reads a whole file ("-": standard input) as bytes; throws std::system_error on failure.
using FileReader = std::function<std::string(const std::string& path)>;

// Reads the file with POSIX read(2). When a signal interrupts a read, onSignal is called (it may
// throw to stop) and the read goes on.
std::string ReadWholeFile(const std::string& path, const std::function<void()>& onSignal = {});

// Reads the text of every ttyfile: request (with ReadWholeFile, or the reader given): the file's
// bytes as they are, standard input's for "-" (read once, shared by every ttyfile:-). A file that cannot be read throws RequestError
// naming the request and the system's reason, e.g. "cannot read 'greeting.txt': No such file
// or directory". The reader's other exceptions pass through.
void LoadTextFiles(Requests& requests);
void LoadTextFiles(Requests& requests, const FileReader& read);

}  // namespace Quorvex::VarnelNet::Script
