// Doubly linked lists with POSITION iteration: CObList holds CObject
// pointers (never owning them), CStringList holds CString values.
#pragma once

#include "cstring.h"
#include "object.h"

struct __POSITION {};
typedef __POSITION* POSITION;

namespace framework_detail {

// The list machinery shared by CObList and CStringList. A POSITION is the
// address of a node; it stays valid until that node is removed.
template <class T, class ArgT>
class LinkedList {
public:
    LinkedList() = default;
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    ~LinkedList() { RemoveAll(); }

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    POSITION GetHeadPosition() const { return toPos(m_pHead); }

    // Returns the element at pos and moves pos to the next one (null at the end).
    T& GetNext(POSITION& pos)
    {
        Node* n = toNode(pos);
        pos = toPos(n->next);
        return n->data;
    }
    const T& GetNext(POSITION& pos) const
    {
        Node* n = toNode(pos);
        pos = toPos(n->next);
        return n->data;
    }
    T& GetAt(POSITION pos) { return toNode(pos)->data; }
    const T& GetAt(POSITION pos) const { return toNode(pos)->data; }

    // Position of the element at a 0-based index, or null when out of range.
    POSITION FindIndex(int nIndex) const
    {
        if (nIndex < 0 || nIndex >= m_nCount)
            return nullptr;
        Node* n = m_pHead;
        while (nIndex-- > 0)
            n = n->next;
        return toPos(n);
    }

    POSITION AddTail(ArgT value)
    {
        Node* n = new Node{value, m_pTail, nullptr};
        if (m_pTail != nullptr)
            m_pTail->next = n;
        else
            m_pHead = n;
        m_pTail = n;
        ++m_nCount;
        return toPos(n);
    }

    void RemoveAt(POSITION pos)
    {
        Node* n = toNode(pos);
        if (n == nullptr)
            return;
        (n->prev ? n->prev->next : m_pHead) = n->next;
        (n->next ? n->next->prev : m_pTail) = n->prev;
        delete n;
        --m_nCount;
    }

    void RemoveAll()
    {
        while (m_pHead != nullptr) {
            Node* next = m_pHead->next;
            delete m_pHead;
            m_pHead = next;
        }
        m_pTail = nullptr;
        m_nCount = 0;
    }

protected:
    struct Node {
        T data;
        Node* prev;
        Node* next;
    };

    static POSITION toPos(Node* n) { return reinterpret_cast<POSITION>(n); }
    static Node* toNode(POSITION p) { return reinterpret_cast<Node*>(p); }

    template <class Pred>
    POSITION findIf(Pred pred) const
    {
        for (Node* n = m_pHead; n != nullptr; n = n->next) {
            if (pred(n->data))
                return toPos(n);
        }
        return nullptr;
    }

private:
    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
    int m_nCount = 0;
};

}  // namespace framework_detail

class CObList : public CObject, public framework_detail::LinkedList<CObject*, CObject*> {
public:
    // The block size is accepted for the callers' sake; nodes are allocated one by one.
    explicit CObList(int /*nBlockSize*/ = 10) {}
};

class CStringList : public CObject, public framework_detail::LinkedList<CString, const CString&> {
public:
    explicit CStringList(int /*nBlockSize*/ = 10) {}

    POSITION AddTail(const char* psz) { return LinkedList::AddTail(CString(psz)); }
    POSITION AddTail(const CString& s) { return LinkedList::AddTail(s); }

    // The first position whose text equals psz, or null.
    POSITION Find(const char* psz) const
    {
        return findIf([psz](const CString& s) { return s == psz; });
    }
};
