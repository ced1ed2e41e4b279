#include "request_builder.h"

#include <cctype>
#include <cstdlib>

struct RequestBuilder::Node {
    std::string name;
    bool leaf = false;
    std::string value;
    std::vector<std::unique_ptr<Node>> children;

    // The index-th child element called childName, made (with any missing
    // earlier items) when absent.
    Node* Group(const std::string& childName, int index) {
        int seen = 0;
        for (auto& child : children) {
            if (!child->leaf && child->name == childName && seen++ == index)
                return child.get();
        }
        Node* last = nullptr;
        for (; seen <= index; ++seen) {
            children.push_back(std::make_unique<Node>());
            last = children.back().get();
            last->name = childName;
        }
        return last;
    }
};

namespace {

bool ValidName(const std::string& name) {
    if (name.empty())
        return false;
    for (unsigned char c : name) {
        if (!std::isalnum(c) && c != '_' && c != '-')
            return false;
    }
    return !std::isdigit(static_cast<unsigned char>(name[0])) && name[0] != '-';
}

// "name" or "name[3]" into its name and index (-1 without one).
bool ParseSegment(const std::string& segment, std::string* name, int* index) {
    size_t open = segment.find('[');
    *index = -1;
    if (open == std::string::npos) {
        *name = segment;
        return ValidName(*name);
    }
    if (segment.back() != ']' || open + 2 > segment.size() - 1)
        return false;
    std::string digits = segment.substr(open + 1, segment.size() - open - 2);
    for (unsigned char c : digits) {
        if (!std::isdigit(c))
            return false;
    }
    if (digits.size() > 6)
        return false;
    *name = segment.substr(0, open);
    *index = std::atoi(digits.c_str());
    return ValidName(*name);
}

}  // namespace

RequestBuilder::RequestBuilder(int msgNum) : msgNum_(msgNum), root_(std::make_unique<Node>()) {}

RequestBuilder::~RequestBuilder() = default;

bool RequestBuilder::Set(const std::string& assignment, std::string* error) {
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        *error = "expected NAME=VALUE, got '" + assignment + "'";
        return false;
    }
    std::string path = assignment.substr(0, eq);
    std::string value = assignment.substr(eq + 1);
    if (value.find("]]>") != std::string::npos) {
        *error = "a value cannot contain ']]>': '" + assignment + "'";
        return false;
    }
    std::vector<std::string> segments;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        segments.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }

    Node* node = root_.get();
    for (size_t i = 0; i < segments.size(); ++i) {
        std::string name;
        int index;
        if (!ParseSegment(segments[i], &name, &index)) {
            *error = "bad field name '" + path + "' (use name, name.sub or name[2].sub)";
            return false;
        }
        if (i + 1 < segments.size()) {
            node = node->Group(name, index < 0 ? 0 : index);
            continue;
        }
        if (index >= 0) {
            *error = "an index belongs to a sub-message in '" + path + "'";
            return false;
        }
        node->children.push_back(std::make_unique<Node>());
        Node* leaf = node->children.back().get();
        leaf->name = name;
        leaf->leaf = true;
        leaf->value = value;
    }
    return true;
}

void RequestBuilder::Write(const Node& node, std::string* out) {
    for (const auto& child : node.children) {
        *out += "<" + child->name + ">";
        if (child->leaf)
            *out += "<![CDATA[" + child->value + "]]>";
        else
            Write(*child, out);
        *out += "</" + child->name + ">";
    }
}

std::string RequestBuilder::ToXml() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"" + std::to_string(msgNum_) +
                      "\" type=\"name\" ver=\"\">";
    Write(*root_, &out);
    out += "</msg>";
    return out;
}
