// Builds a request as named-form message XML from NAME=VALUE assignments, so
// that the library's reader types every value by the dictionary.
#ifndef VORANT_CALL_REQUEST_BUILDER_H
#define VORANT_CALL_REQUEST_BUILDER_H

#include <memory>
#include <string>
#include <vector>

// Owns a tree of fields. A NAME is a path of tag names separated by '.';
// a segment may carry an index ("lines[1].code") to pick an item of a
// sub-message array. A plain name set again appends another item.
class RequestBuilder {
public:
    explicit RequestBuilder(int msgNum);
    ~RequestBuilder();

    // Adds one "NAME=VALUE"; false with a reason in *error when malformed.
    bool Set(const std::string& assignment, std::string* error);
    // The whole document.
    std::string ToXml() const;

private:
    struct Node;
    static void Write(const Node& node, std::string* out);

    int msgNum_;
    std::unique_ptr<Node> root_;
};

#endif  // VORANT_CALL_REQUEST_BUILDER_H
