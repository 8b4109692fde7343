#include "object.h"

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), nullptr};

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBase) const
{
    for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass) {
        if (p == pBase)
            return true;
    }
    return false;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

bool CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return pClass != nullptr && GetRuntimeClass()->IsDerivedFrom(pClass);
}
