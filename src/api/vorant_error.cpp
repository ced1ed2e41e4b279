#include "vorant/vorant_error.hpp"

CVorantError::CVorantError() : m_iCode(0), m_iRefSvcNum(0) {}

CVorantError::CVorantError(const CVorantError& p_Other) = default;

CVorantError& CVorantError::operator=(const CVorantError& p_Other) = default;

CVorantError::~CVorantError() = default;

void CVorantError::SetError(int p_iCode, const char* p_szText, int p_iRefSvcNum) {
    m_strText.Set(p_szText);
    m_iCode = p_iCode;
    m_iRefSvcNum = p_iRefSvcNum;
}

void CVorantError::SetError(const char* p_szText) { SetError(0, p_szText, 0); }

void CVorantError::Clear() { SetError(0, nullptr, 0); }

CString CVorantError::Repr() const {
    if (m_iCode > 0)
        return CFormat("CVorantError: Code=%d, Text=%s, RefSvcNum=%d", m_iCode, m_strText.ToStr(), m_iRefSvcNum);
    return CFormat("CVorantError: %s", m_strText.ToStr());
}
