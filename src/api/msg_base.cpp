#include "vorant/cvorant.hpp"

CMsgBase::CMsgBase() : m_iMsgNum(0) {}

CMsgBase::~CMsgBase() = default;

CString CMsgBase::GetLastError() const { return m_strLastError; }

CString CMsgBase::Repr() const { return CFormat("M_%s(CMsg%04d)", m_strName.ToStr(), m_iMsgNum); }

CMsgBase_Array::CMsgBase_Array() = default;

CMsgBase_Array::CMsgBase_Array(const CMsgBase_Array& p_Other)
    : m_strName(p_Other.m_strName), m_strLastError(p_Other.m_strLastError) {}

CMsgBase_Array& CMsgBase_Array::operator=(const CMsgBase_Array& p_Other) {
    m_strName = p_Other.m_strName;
    m_strLastError = p_Other.m_strLastError;
    return *this;
}

CMsgBase_Array::~CMsgBase_Array() = default;

CString CMsgBase_Array::GetLastError() const { return m_strLastError; }
