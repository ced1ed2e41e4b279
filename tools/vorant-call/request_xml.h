// A request file in message XML, read field by field so that every value
// is checked as a --set or JSON value is, before anything is sent.
#ifndef VORANT_CALL_REQUEST_XML_H
#define VORANT_CALL_REQUEST_XML_H

#include <string>

// Reads message XML (numbered <t1> or named type="name" form) and writes the
// same request as named-form XML into *p_pXml. False with a reason that
// names p_strSource, the line, the tag, its type and the value.
bool RequestXmlChecked(const std::string& p_strXml, const std::string& p_strSource, std::string* p_pXml,
                       std::string* p_pError);

#endif  // VORANT_CALL_REQUEST_XML_H
