#include "session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "progress.h"

namespace quorvel::cli {

std::string temporary_file(const char* stem) {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/quorvel-" + stem + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw failure(kUsageOrIo, io_message(pattern, errno));
    ::close(fd);
    return name.data();
}

std::string io_message(const std::string& path, int error) {
    return (path == "-" ? std::string("(standard input)") : path) + ": " + std::strerror(error);
}

std::string flatten(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

std::string display_name(const std::string& path) { return path == "-" ? "(standard input)" : path; }

session session::from(const parsed_args& args, std::vector<std::string> files, bool writes_documents) {
    session s;
    s.files = files.empty() ? std::vector<std::string>{"-"} : std::move(files);
    s.output = args.value("output");
    s.in_place = args.has("in-place");
    s.log_format = args.value("log");
    if (!s.log_format.empty() && s.log_format != "text" && s.log_format != "xml" && s.log_format != "html")
        throw usage_error("--log wants text, xml or html, not '" + s.log_format + "'");
    s.jobs = static_cast<int>(args.number("jobs", 1, 1, 256));
    if (s.in_place && !s.output.empty()) throw usage_error("--in-place and -o exclude each other");
    if (s.in_place && !writes_documents) throw usage_error("--in-place is for commands that rewrite documents");
    if (s.in_place && std::find(s.files.begin(), s.files.end(), "-") != s.files.end())
        throw usage_error("--in-place cannot rewrite standard input");
    if (writes_documents && !s.output.empty() && s.files.size() > 1)
        throw usage_error("-o names one output file, but " + std::to_string(s.files.size()) + " inputs were given");
    if (std::count(s.files.begin(), s.files.end(), "-") > 1) throw usage_error("standard input can be read once");
    s.progress = s.jobs == 1 && !args.has("no-progress") && progress_bar::terminal();
    return s;
}

std::string read_file(const std::string& path) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw failure(kUsageOrIo, io_message(path, errno));
    std::string out;
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        if (fd != STDIN_FILENO) ::close(fd);
        throw failure(kUsageOrIo, io_message(path, EISDIR));
    }
    if (S_ISREG(st.st_mode)) out.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            if (fd != STDIN_FILENO) ::close(fd);
            throw failure(kUsageOrIo, io_message(path, e));
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    if (fd != STDIN_FILENO) ::close(fd);
    return out;
}

xml::node session::load(const std::string& path) const {
    xml::node doc = xml::create();
    xml::status st;
    bool ok;
    if (path == "-") {
        const std::string bytes = read_file(path);
        ok = doc.load(std::as_bytes(std::span(bytes.data(), bytes.size())), st);
    } else {
        // The component reads the file itself; the tool only tells a missing or unreadable file
        // (status 2) from one that holds no XML (status 1), which the component's log does not.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw failure(kUsageOrIo, io_message(path, errno));
        struct stat info{};
        const bool directory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
        ::close(fd);
        if (directory) throw failure(kUsageOrIo, io_message(path, EISDIR));
        progress_bar bar(progress, path);
        ok = doc.load_file(path, [&bar](int percent) { bar(percent); }, st);
    }
    if (st.failed() || !ok)
        throw failure(kBad, (path == "-" ? std::string("(standard input)") : path) +
                                ": not XML: the parser found no element", log_of(doc));
    return doc;
}

std::string session::log_of(const xml::node& n) const {
    if (log_format.empty() || !n) return {};
    xml::status st;
    if (log_format == "xml") return n.error_log_xml(st);
    if (log_format == "html") return n.error_log_html(st);
    return n.error_log_text(st);
}

// ---- Output ----------------------------------------------------------------------------------

void file_output::emit(std::string_view bytes) {
    if (direct_ && session_.output.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    } else {
        out_.append(bytes);
    }
}

void file_output::print(std::string_view text) { emit(text); }

void file_output::warn(std::string_view text) {
    if (direct_) {
        std::fflush(stdout);
        std::fwrite(text.data(), 1, text.size(), stderr);
    } else {
        err_.append(text);
    }
}

void file_output::flush() {
    std::fwrite(out_.data(), 1, out_.size(), stdout);
    std::fwrite(err_.data(), 1, err_.size(), stderr);
    out_.clear();
    err_.clear();
}

void replace_file(const std::string& target, const std::function<void(const std::string&)>& write) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : folder) + ".quorvel-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw failure(kUsageOrIo, io_message(target, errno));
    temp = name.data();
    struct stat st{};
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    else ::fchmod(fd, 0666 & ~[] { mode_t m = ::umask(0); ::umask(m); return m; }());
    ::close(fd);
    try {
        write(temp);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        throw failure(kUsageOrIo, io_message(target, e));
    }
}

namespace {

void save(const xml::node& doc, const std::string& path, const std::string& indent, bool indented) {
    xml::status st;
    if (indented) doc.save_file_indented(path, indent, st);
    else doc.save_file(path, st);
    if (st.failed()) throw failure(kUsageOrIo, path + ": cannot write: " + st.description);
}

bool stdout_streams() {
    struct stat st{};
    return ::fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISSOCK(st.st_mode));
}

}  // namespace

void file_output::write_document(const xml::node& doc, const std::string& input, const std::string& indent,
                                 bool indented) {
    const std::string target = session_.in_place ? input : session_.output;
    if (!target.empty()) {
        replace_file(target, [&](const std::string& temp) { save(doc, temp, indent, indented); });
        return;
    }
    if (direct_ && stdout_streams()) {
        // A pipe or terminal takes the component's writes directly: no copy of a large document.
        std::fflush(stdout);
        save(doc, "/dev/stdout", indent, indented);
        return;
    }
    const std::string temp = temporary_file("out");
    try {
        save(doc, temp, indent, indented);
        emit(read_file(temp));
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    ::unlink(temp.c_str());
}

void file_output::write_bytes(std::string_view bytes, const std::string& input) {
    const std::string target = session_.in_place ? input : session_.output;
    if (target.empty()) {
        emit(bytes);
        return;
    }
    replace_file(target, [&](const std::string& temp) {
        std::FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f) throw failure(kUsageOrIo, io_message(target, errno));
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if ((std::fclose(f) != 0) || !ok) throw failure(kUsageOrIo, io_message(target, errno));
    });
}

// ---- The loop over files ---------------------------------------------------------------------

namespace {

struct result {
    std::unique_ptr<file_output> out;
    int status = kOk;
    bool done = false;
};

int run_one(const std::string& file, file_output& out,
            const std::function<void(const std::string&, file_output&)>& work) {
    try {
        work(file, out);
        return kOk;
    } catch (const failure& f) {
        out.warn(std::string("quorvel: ") + f.what() + "\n");
        if (!f.log().empty()) out.warn(f.log() + (f.log().back() == '\n' ? "" : "\n"));
        return f.status();
    } catch (const usage_error& e) {
        out.warn(std::string("quorvel: ") + e.what() + "\n");
        return kUsageOrIo;
    } catch (const xml::error& e) {
        std::string what = e.what();
        for (char& c : what)
            if (c == '\n') c = ' ';
        out.warn("quorvel: " + (file == "-" ? std::string("(standard input)") : file) + ": " + what + "\n");
        return kBad;
    } catch (const std::bad_alloc&) {
        out.warn("quorvel: " + file + ": out of memory\n");
        return kUsageOrIo;
    } catch (const std::exception& e) {
        out.warn("quorvel: " + file + ": " + e.what() + "\n");
        return kUsageOrIo;
    }
}

}  // namespace

int session::for_each_file(const std::function<void(const std::string&, file_output&)>& work) const {
    int worst = kOk;
    std::string gathered;  // printed text bound for -o FILE
    const auto finish = [&](file_output& out, int status) {
        worst = std::max(worst, status);
        out.flush();
    };
    const bool print_to_file = !output.empty();
    // With -o, what the command prints is gathered and written once, through a temporary file.
    const auto take_printed = [&](file_output& out) {
        if (print_to_file) {
            gathered += out.take_text();
        }
    };
    if (jobs <= 1 || files.size() <= 1) {
        for (const std::string& file : files) {
            file_output out(*this, true);
            const int status = run_one(file, out, work);
            take_printed(out);
            finish(out, status);
        }
    } else {
        std::vector<result> results(files.size());
        for (result& r : results) r.out = std::make_unique<file_output>(*this, false);
        std::mutex m;
        std::condition_variable cv;
        std::atomic<std::size_t> next{0};
        const auto worker = [&] {
            for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
                const int status = run_one(files[i], *results[i].out, work);
                std::lock_guard lock(m);
                results[i].status = status;
                results[i].done = true;
                cv.notify_all();
            }
        };
        std::vector<std::thread> threads;
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(jobs), files.size());
        for (std::size_t t = 0; t < n; ++t) threads.emplace_back(worker);
        for (result& r : results) {
            {
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return r.done; });
            }
            take_printed(*r.out);
            finish(*r.out, r.status);
            r.out.reset();  // frees the gathered output of a file once it is printed
        }
        for (std::thread& t : threads) t.join();
    }
    if (print_to_file && !gathered.empty()) {
        try {
            file_output to_file(*this, true);
            to_file.write_bytes(gathered, output);
        } catch (const failure& f) {
            std::fprintf(stderr, "quorvel: %s\n", f.what());
            worst = std::max(worst, static_cast<int>(f.status()));
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "quorvel: standard output: %s\n", std::strerror(errno ? errno : EIO));
        worst = std::max(worst, static_cast<int>(kUsageOrIo));
    }
    return worst;
}

}  // namespace quorvel::cli
