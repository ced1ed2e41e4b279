// CBool: nullable bool.
#include "vorant/scalars.hpp"

CBool& CBool::operator=(bool p_bValue) {
    m_bValue = p_bValue;
    m_bValid = true;
    return *this;
}

void CBool::SetNull() {
    m_bValue = false;
    m_bValid = false;
}

CString CBool::Repr() const {
    if (!m_bValid)
        return CString("<CBool: unset>");
    return CString(m_bValue ? "<CBool: true>" : "<CBool: false>");
}
