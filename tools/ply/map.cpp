// SPDX-License-Identifier: MIT
#include "map.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

#include "cp1251.h"
#include "lint.h"

#ifndef __EMSCRIPTEN__
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

namespace narravox::ply {
namespace {

using Kind = Statement::Kind;

// The text inside a DOT string in double quotes. Graphviz reads "\n" as a line break and
// treats a backslash before a letter as an escape of its own, so backslashes are doubled; other
// control characters have no place in a label.
std::string Escaped(std::string_view utf8) {
    std::string out;
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += ' ';
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
            out += c;
        }
    }
    return out;
}

std::string Quoted(std::string_view utf8) {
    return "\"" + Escaped(utf8) + "\"";
}

std::string NodeId(std::uint16_t location) {
    return "L" + std::to_string(location);
}

struct Jump {
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    bool conditional = false;
    bool cycle = false;
    std::string label;

    // Jumps that go the same way and are drawn alike come together, so that they can share an
    // arrow.
    auto Way() const { return std::tie(from, to, conditional, cycle); }
    bool operator<(const Jump& other) const {
        return std::tie(from, to, conditional, cycle, label) <
               std::tie(other.from, other.to, other.conditional, other.cycle, other.label);
    }
};

// The strongly connected part of a graph each node belongs to, by a number: two nodes share
// one exactly when each can reach the other, so an edge lies on a cycle when its ends share
// one. Tarjan's algorithm, without recursion, since a data file may hold tens of thousands of
// locations.
std::map<std::uint16_t, int> Components(
    const std::map<std::uint16_t, std::vector<std::uint16_t>>& graph) {
    std::map<std::uint16_t, int> index;
    std::map<std::uint16_t, int> low;
    std::map<std::uint16_t, int> component;
    std::vector<std::uint16_t> stack;
    std::set<std::uint16_t> on_stack;
    int counter = 0;
    int components = 0;
    const auto visit = [&](std::uint16_t node) {
        index[node] = low[node] = counter++;
        stack.push_back(node);
        on_stack.insert(node);
    };
    for (const auto& [root, unused] : graph) {
        if (index.count(root) != 0) {
            continue;
        }
        std::vector<std::pair<std::uint16_t, std::size_t>> calls{{root, 0}};
        visit(root);
        while (!calls.empty()) {
            const std::uint16_t node = calls.back().first;
            const std::size_t next = calls.back().second;
            const auto edges = graph.find(node);
            if (edges != graph.end() && next < edges->second.size()) {
                ++calls.back().second;
                const std::uint16_t to = edges->second[next];
                if (index.count(to) == 0) {
                    visit(to);
                    calls.emplace_back(to, 0);
                } else if (on_stack.count(to) != 0) {
                    low[node] = std::min(low[node], index[to]);
                }
                continue;
            }
            if (low[node] == index[node]) {
                std::uint16_t member = 0;
                do {
                    member = stack.back();
                    stack.pop_back();
                    on_stack.erase(member);
                    component[member] = components;
                } while (member != node);
                ++components;
            }
            calls.pop_back();
            if (!calls.empty()) {
                int& caller = low[calls.back().first];
                caller = std::min(caller, low[node]);
            }
        }
    }
    return component;
}

class MapBuilder {
  public:
    MapBuilder(const GameData& game, const MapNames& names) : game_(game), names_(names) {}

    std::string Dot() {
        const Scenario& scenario = game_.scenario;
        for (const Location& location : scenario.locations) {
            blocks_.emplace(location.id, &location);
        }
        FindArrivalCycles();
        for (const auto& [id, location] : blocks_) {
            CollectJumps(*location);
        }
        Classify();

        std::string dot;
        dot += "digraph map {\n";
        dot += "    graph [fontname=\"sans-serif\", fontsize=11, nodesep=0.5, ranksep=0.5];\n";
        dot +=
            "    node [fontname=\"sans-serif\", fontsize=11, shape=box, "
            "style=\"rounded,filled\", fillcolor=\"white\"];\n";
        dot += "    edge [fontname=\"sans-serif\", fontsize=9];\n";
        if (ShowGlobal()) {
            dot += "    subgraph cluster_global {\n";
            dot +=
                "        label=\"global location: its reactions apply everywhere,\\nbut its "
                "jumps move the player only from inside it\";\n";
            dot +=
                "        style=\"dashed\"; color=\"gray50\"; fontcolor=\"gray30\"; "
                "fontsize=9;\n";
            dot += "        " + Node(scenario.global) + "\n";
            dot += "    }\n";
        }
        for (const std::uint16_t id : nodes_) {
            if (id != scenario.global) {
                dot += "    " + Node(id) + "\n";
            }
        }
        dot += "    start [shape=point, width=0.12, label=\"\"];\n";
        dot += "    start -> " + NodeId(scenario.start) + ";\n";
        // One arrow for the jumps that go the same way alike, with a line of label for each:
        // the demo's map has half as many arrows so, and each jump is still there.
        for (auto jump = jumps_.begin(); jump != jumps_.end();) {
            Jump shared = *jump;
            while (++jump != jumps_.end() && jump->Way() == shared.Way()) {
                shared.label += "\n" + jump->label;
            }
            dot += "    " + Edge(shared) + "\n";
        }
        dot += Legend();
        dot += "}\n";
        return dot;
    }

  private:
    // The arrival jumps that can go round in a cycle: those whose two ends reach each other
    // through arrival jumps.
    void FindArrivalCycles() {
        const std::vector<ArrivalJump> arrivals = FindArrivalJumps(game_.scenario);
        std::map<std::uint16_t, std::vector<std::uint16_t>> graph;
        for (const ArrivalJump& jump : arrivals) {
            graph[jump.from].push_back(jump.to);
        }
        const std::map<std::uint16_t, int> component = Components(graph);
        for (const ArrivalJump& jump : arrivals) {
            arrival_jumps_.insert(jump.statement);
            if (component.at(jump.from) == component.at(jump.to)) {
                cycle_jumps_.insert(jump.statement);
                cycle_locations_.insert(jump.from);
                cycle_locations_.insert(jump.to);
            }
        }
    }

    void CollectJumps(const Location& location) {
        for (const Section& section : location.sections) {
            for (const Reaction& reaction : section.reactions) {
                CollectJumps(location.id, ReactionLabel(section, reaction), reaction.statements,
                             false);
            }
        }
    }

    void CollectJumps(std::uint16_t from, const std::string& label,
                      const std::vector<Statement>& statements, bool conditional) {
        for (const Statement& s : statements) {
            if (s.kind == Kind::kJump) {
                const bool arrival = arrival_jumps_.count(&s) != 0;
                Jump jump{from, s.location, conditional, cycle_jumps_.count(&s) != 0,
                          arrival ? label + "\n(on arrival)" : label};
                jumps_.insert(std::move(jump));
            }
            CollectJumps(from, label, s.then_body, true);
            CollectJumps(from, label, s.else_body, true);
        }
    }

    // The verbs of a reaction, and the object it is about unless that is the verb alone.
    std::string ReactionLabel(const Section& section, const Reaction& reaction) const {
        std::string label;
        for (const VerbUse& verb : reaction.verbs) {
            label += (label.empty() ? "" : ", ") + VerbName(verb.id);
        }
        if (reaction.verbs.empty()) {
            label = "(no verb)";
        }
        const bool verb_alone =
            section.phrases.empty() ||
            std::any_of(section.phrases.begin(), section.phrases.end(),
                        [](const Phrase& phrase) { return phrase.text.empty(); });
        if (!verb_alone) {
            label += " \xc2\xab" + Cp1251ToUtf8(section.phrases.front().text) + "\xc2\xbb";
            if (section.phrases.size() > 1) {
                label += "\xe2\x80\xa6";
            }
        }
        return label;
    }

    std::string VerbName(std::int16_t id) const {
        if (const auto named = names_.verbs.find(id); named != names_.verbs.end()) {
            return named->second;
        }
        for (const VerbGroup& group : game_.vocabulary.groups) {
            if (group.id == id && !group.synonyms.empty() && !group.synonyms.front().text.empty()) {
                return Cp1251ToUtf8(group.synonyms.front().text);
            }
        }
        return "verb " + std::to_string(id);
    }

    // Which locations a player can reach from the start, and which of those lead nowhere. The
    // global location's jumps take part only from inside it: while the player is elsewhere the
    // global reactions run with the current location put back afterwards.
    void Classify() {
        const Scenario& scenario = game_.scenario;
        std::map<std::uint16_t, std::set<std::uint16_t>> exits;
        for (const Jump& jump : jumps_) {
            exits[jump.from].insert(jump.to);
            nodes_.insert(jump.to);
        }
        for (const auto& [id, location] : blocks_) {
            nodes_.insert(id);
        }
        nodes_.insert(scenario.start);
        if (!ShowGlobal()) {
            nodes_.erase(scenario.global);
        }

        std::vector<std::uint16_t> queue{scenario.start};
        reachable_.insert(scenario.start);
        for (std::size_t i = 0; i < queue.size(); ++i) {
            for (const std::uint16_t to : exits[queue[i]]) {
                if (reachable_.insert(to).second) {
                    queue.push_back(to);
                }
            }
        }
        for (const auto& [id, location] : blocks_) {
            if (id == scenario.global) {
                continue;
            }
            if (reachable_.count(id) == 0) {
                unreachable_.insert(id);
                continue;
            }
            const std::set<std::uint16_t>& out = exits[id];
            const std::uint16_t self = id;  // Clang 14 cannot capture a structured binding.
            if (std::all_of(out.begin(), out.end(),
                            [self](std::uint16_t to) { return to == self; })) {
                dead_ends_.insert(id);
            }
        }
    }

    // The global location is drawn when it holds anything or a player can stand in it; the
    // empty one the compiler makes for a game without one is left out.
    bool ShowGlobal() const {
        const Scenario& scenario = game_.scenario;
        const auto global = blocks_.find(scenario.global);
        if (global == blocks_.end()) {
            return scenario.start == scenario.global ||
                   std::any_of(jumps_.begin(), jumps_.end(),
                               [&](const Jump& jump) { return jump.to == scenario.global; });
        }
        return !global->second->sections.empty() || scenario.start == scenario.global ||
               std::any_of(jumps_.begin(), jumps_.end(),
                           [&](const Jump& jump) { return jump.to == scenario.global; });
    }

    std::string LocationLabel(std::uint16_t id) const {
        const auto block = blocks_.find(id);
        const std::string title =
            block == blocks_.end() ? std::string() : Cp1251ToUtf8(block->second->name);
        std::string label;
        const auto named = names_.locations.find(id);
        if (named != names_.locations.end() && !named->second.empty()) {
            label = named->second;
            if (!title.empty() && title != label) {
                label += "\n" + title;
            }
        } else {
            label = "location " + std::to_string(id);
            if (!title.empty()) {
                label += "\n" + title;
            }
        }
        if (block == blocks_.end()) {
            label += "\n(no block)";
        }
        return label;
    }

    std::string Node(std::uint16_t id) const {
        const Scenario& scenario = game_.scenario;
        std::string attributes = "label=" + Quoted(LocationLabel(id));
        if (id == scenario.global) {
            attributes += ", shape=component, style=\"filled\", fillcolor=\"#eef3fb\"";
        }
        if (blocks_.count(id) == 0) {
            attributes += ", style=\"rounded,dashed\", color=\"gray50\", fontcolor=\"gray40\"";
        } else if (unreachable_.count(id) != 0) {
            attributes += ", fillcolor=\"#d9d9d9\", fontcolor=\"gray35\"";
        } else if (dead_ends_.count(id) != 0) {
            attributes += ", fillcolor=\"#ffe699\"";
        }
        if (cycle_locations_.count(id) != 0) {
            attributes += ", color=\"#d62728\", penwidth=2";
        }
        if (id == scenario.start) {
            attributes += ", peripheries=2";
        }
        return NodeId(id) + " [" + attributes + "];";
    }

    std::string Edge(const Jump& jump) const {
        std::string attributes = "label=" + Quoted(jump.label);
        if (jump.conditional) {
            attributes += ", style=dashed";
        }
        if (jump.cycle) {
            attributes += ", color=\"#d62728\", fontcolor=\"#d62728\", penwidth=2";
        } else if (jump.from == game_.scenario.global) {
            attributes += ", color=\"gray50\", fontcolor=\"gray40\"";
        }
        return NodeId(jump.from) + " -> " + NodeId(jump.to) + " [" + attributes + "];";
    }

    // A table of what the colours and lines mean, with only the rows this map needs.
    std::string Legend() const {
        std::string rows;
        const auto row = [&](std::string_view sample, std::string_view meaning) {
            rows += "            <TR><TD ";
            rows += sample;
            rows += "</TD><TD ALIGN=\"LEFT\" BORDER=\"0\">";
            rows += meaning;
            rows += "</TD></TR>\n";
        };
        row("BORDER=\"0\"><TABLE BORDER=\"1\" CELLBORDER=\"1\" CELLSPACING=\"2\" "
            "CELLPADDING=\"0\"><TR><TD WIDTH=\"16\" HEIGHT=\"8\"></TD></TR></TABLE>",
            "start");
        row("BORDER=\"0\">&#8212;&#8212;&#8250;", "jump: verbs &#171;object&#187;");
        if (std::any_of(jumps_.begin(), jumps_.end(),
                        [](const Jump& j) { return j.conditional; })) {
            row("BORDER=\"0\">- - &#8250;", "jump under a condition");
        }
        if (!unreachable_.empty()) {
            row("BGCOLOR=\"#d9d9d9\">&nbsp;&nbsp;&nbsp;", "no jumps lead here from the start");
        }
        if (!dead_ends_.empty()) {
            row("BGCOLOR=\"#ffe699\">&nbsp;&nbsp;&nbsp;", "dead end: no jump leads away");
        }
        if (!cycle_jumps_.empty()) {
            row("BORDER=\"0\"><FONT COLOR=\"#d62728\">&#8212;&#8212;&#8250;</FONT>",
                "arrival jumps that go round in a cycle");
        }
        return "    legend [shape=plain, fontsize=9, label=<\n"
               "        <TABLE BORDER=\"0\" CELLBORDER=\"1\" CELLSPACING=\"3\" "
               "CELLPADDING=\"2\">\n" +
               rows + "        </TABLE>>];\n";
    }

    const GameData& game_;
    const MapNames& names_;
    std::map<std::uint16_t, const Location*> blocks_;  // the first block of each id
    std::set<const Statement*> arrival_jumps_;
    std::set<const Statement*> cycle_jumps_;
    std::set<std::uint16_t> cycle_locations_;
    std::set<Jump> jumps_;
    std::set<std::uint16_t> nodes_;
    std::set<std::uint16_t> reachable_;
    std::set<std::uint16_t> unreachable_;
    std::set<std::uint16_t> dead_ends_;
};

#ifndef __EMSCRIPTEN__

// A file descriptor closed when it goes out of scope.
class Descriptor {
  public:
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }

    int& get() { return fd_; }
    int value() const { return fd_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

bool MakePipe(Descriptor& read_end, Descriptor& write_end) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    read_end.get() = fds[0];
    write_end.get() = fds[1];
    return true;
}

// Writing to a program that has ended raises SIGPIPE, which would end this program too. The
// signal is held back for this thread while the pipes are in use, and one that came meanwhile
// is taken away before it is let through again.
class SigpipeHeld {
  public:
    SigpipeHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1 && sigismember(&before_, SIGPIPE) == 0) {
            const timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }

  private:
    sigset_t pipe_;
    sigset_t before_;
};

struct Finished {
    bool started = false;
    bool not_found = false;
    bool timed_out = false;
    int status = 0;
    std::string output;
    std::string errors;
    std::string why;  // why it could not start
};

// Runs `argv` (the program looked up on PATH) without a shell, with `input` on its standard
// input, and collects both its outputs until it ends or the time is up.
Finished RunProgram(const std::vector<std::string>& argv, std::string_view input,
                    std::chrono::milliseconds time_limit) {
    Finished result;
    Descriptor in_read, in_write, out_read, out_write, err_read, err_write;
    if (!MakePipe(in_read, in_write) || !MakePipe(out_read, out_write) ||
        !MakePipe(err_read, err_write)) {
        result.why = std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_read.value(), 0);
    posix_spawn_file_actions_adddup2(&actions, out_write.value(), 1);
    posix_spawn_file_actions_adddup2(&actions, err_write.value(), 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.not_found = spawned == ENOENT;
        result.why = std::strerror(spawned);
        return result;
    }
    result.started = true;
    in_read.Close();
    out_write.Close();
    err_write.Close();
    for (Descriptor* end : {&in_write, &out_read, &err_read}) {
        ::fcntl(end->value(), F_SETFL, ::fcntl(end->value(), F_GETFL) | O_NONBLOCK);
    }

    SigpipeHeld held;
    const auto deadline = std::chrono::steady_clock::now() + time_limit;
    std::size_t written = 0;
    if (input.empty()) {
        in_write.Close();
    }
    while (out_read.value() >= 0 || err_read.value() >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{in_write.value(), POLLOUT, 0},
                         {out_read.value(), POLLIN, 0},
                         {err_read.value(), POLLIN, 0}};
        const int ready = ::poll(fds, 3, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (in_write.value() >= 0 && fds[0].revents != 0) {
            const ssize_t n =
                ::write(in_write.value(), input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            // A program that stops reading has said what it wants to say on its way out.
            if (written == input.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                in_write.Close();
            }
        }
        const std::pair<Descriptor*, std::string*> readers[] = {{&out_read, &result.output},
                                                                {&err_read, &result.errors}};
        for (std::size_t i = 0; i < 2; ++i) {
            auto [end, text] = readers[i];
            if (end->value() < 0 || fds[i + 1].revents == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t n = ::read(end->value(), buffer, sizeof buffer);
            if (n > 0) {
                text->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                end->Close();
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = status;
    return result;
}

#endif

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

MapNames MapNamesOf(const CompileResult& compiled) {
    MapNames names;
    for (const auto& [name, number] : compiled.location_numbers) {
        if (!name.empty()) {
            names.locations[static_cast<std::uint16_t>(number)] = name;
        }
    }
    for (const auto& [name, number] : compiled.verb_numbers) {
        names.verbs[static_cast<std::int16_t>(number)] = name;
    }
    return names;
}

std::string MapDot(const GameData& game, const MapNames& names) {
    return MapBuilder(game, names).Dot();
}

std::optional<std::string> MapFile(const std::string& dot, const std::filesystem::path& path,
                                   std::ostream& err, const std::string& program,
                                   std::chrono::milliseconds time_limit) {
    const std::string extension = Lower(path.extension().string());
    if (extension == ".dot" || extension == ".gv") {
        return dot;
    }
    if (extension != ".svg" && extension != ".png" && extension != ".pdf") {
        err << path.string()
            << ": cannot tell the kind of map from the name; end it in .dot, .svg, .png or .pdf\n";
        return std::nullopt;
    }
    std::filesystem::path as_dot = path;
    as_dot.replace_extension(".dot");
#ifdef __EMSCRIPTEN__
    (void)program;
    (void)time_limit;
    err << path.string() << ": this build of narravox-ply cannot run Graphviz; write the graph "
        << "with -o " << as_dot.string() << " and draw it with dot\n";
    return std::nullopt;
#else
    const Finished run = RunProgram({program, "-T" + extension.substr(1)}, dot, time_limit);
    if (run.not_found) {
        err << path.string() << ": cannot draw the map: Graphviz's '" << program
            << "' program was not found.\nInstall the graphviz package (apt install graphviz), "
            << "or write the graph itself with -o " << as_dot.string() << "\n";
        return std::nullopt;
    }
    if (!run.started) {
        err << path.string() << ": cannot run '" << program << "': " << run.why << "\n";
        return std::nullopt;
    }
    if (run.timed_out) {
        err << path.string() << ": '" << program << "' took longer than "
            << std::chrono::duration_cast<std::chrono::seconds>(time_limit).count()
            << " s and was stopped\n";
        return std::nullopt;
    }
    if (!WIFEXITED(run.status) || WEXITSTATUS(run.status) != 0) {
        err << path.string() << ": '" << program << "' failed";
        if (WIFEXITED(run.status)) {
            err << " with status " << WEXITSTATUS(run.status);
        }
        err << (run.errors.empty() ? "\n" : ":\n" + run.errors);
        if (!run.errors.empty() && run.errors.back() != '\n') {
            err << "\n";
        }
        return std::nullopt;
    }
    return run.output;
#endif
}

}  // namespace narravox::ply
