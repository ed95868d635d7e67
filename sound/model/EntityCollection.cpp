#include "sound/model/EntityCollection.h"

#include <algorithm>

namespace SL {

namespace {

using CTreeNode = CEntityCollection::CTreeNode;
using CNode = CEntityCollection::CNode;
using Run = std::vector<std::unique_ptr<CTreeNode>>;

CTreeNode* AppendChild(CTreeNode& parent, const CNode& value) {
    auto child = std::make_unique<CTreeNode>();
    child->value = value;
    child->parent = &parent;
    parent.children.push_back(std::move(child));
    return parent.children.back().get();
}

void AppendSubtree(CTreeNode& parent, const CTreeNode& source) {
    CTreeNode* copy = AppendChild(parent, source.value);
    for (const auto& child : source.children) AppendSubtree(*copy, *child);
}

boost::shared_ptr<CTreeNode> CopyTree(const CTreeNode& root) {
    boost::shared_ptr<CTreeNode> copy(new CTreeNode);
    copy->value = root.value;
    for (const auto& child : root.children) AppendSubtree(*copy, *child);
    return copy;
}

int CountNodes(const CTreeNode& node) {
    int count = 1;
    for (const auto& child : node.children) count += CountNodes(*child);
    return count;
}

void CollectLeaves(const CTreeNode& node, std::vector<const CTreeNode*>& leaves) {
    for (const auto& child : node.children) {
        if (child->IsLeaf())
            leaves.push_back(child.get());
        else
            CollectLeaves(*child, leaves);
    }
}

bool RunsOverlap(const Run& p, const Run& q, bool strict);

bool NodesOverlap(const CTreeNode& p, const CTreeNode& q, bool strict) {
    if (!p.value.Matches(q.value)) return false;
    if (!p.IsLeaf() && !q.IsLeaf()) return RunsOverlap(p.children, q.children, strict);
    if (p.IsLeaf() && q.IsLeaf()) return p.value.mask == 0 || q.value.mask == 0 || (p.value.mask & q.value.mask) != 0;
    // A whole entity covers any part of it, unless the test is strict.
    const CTreeNode& leaf = p.IsLeaf() ? p : q;
    return !strict && leaf.value.mask == 0;
}

bool RunsOverlap(const Run& p, const Run& q, bool strict) {
    for (const auto& a : p)
        for (const auto& b : q)
            if (NodesOverlap(*a, *b, strict)) return true;
    return false;
}

bool RunIncludes(const Run& s, const Run& q, bool strict);

bool Covers(const CTreeNode& s, const CTreeNode& q, bool strict) {
    if (!s.value.Matches(q.value)) return false;
    if (!s.IsLeaf() && !q.IsLeaf()) return RunIncludes(s.children, q.children, strict);
    if (s.IsLeaf() && q.IsLeaf())
        return s.value.mask == 0 || (q.value.mask != 0 && (q.value.mask & ~s.value.mask) == 0);
    return !strict && s.IsLeaf() && s.value.mask == 0;
}

bool RunIncludes(const Run& s, const Run& q, bool strict) {
    for (const auto& b : q) {
        const bool covered = std::any_of(s.begin(), s.end(),
                                         [&](const std::unique_ptr<CTreeNode>& a) { return Covers(*a, *b, strict); });
        if (!covered) return false;
    }
    return true;
}

void MergeRun(CTreeNode& parent, std::vector<CTreeNode*>& cursor) {
    Run& run = parent.children;
    for (std::size_t i = 0; i < run.size(); ++i) {
        CTreeNode* r = run[i].get();
        for (std::size_t j = i + 1; j < run.size();) {
            CTreeNode* s = run[j].get();
            // Ids compare for equality here: -1 is not a wildcard.
            if (s->value.kind != r->value.kind || s->value.id != r->value.id) {
                ++j;
                continue;
            }
            if (r->IsLeaf() && s->IsLeaf() && r->value.mask != 0 && s->value.mask != 0) {
                r->value.mask |= s->value.mask;
            } else if (!r->IsLeaf() && !s->IsLeaf()) {
                for (auto& child : s->children) {
                    child->parent = r;
                    r->children.push_back(std::move(child));
                }
            } else {
                ++j;
                continue;
            }
            // A cursor entry on the erased sibling follows it into the node that took it over.
            std::replace(cursor.begin(), cursor.end(), s, r);
            run.erase(run.begin() + static_cast<std::ptrdiff_t>(j));
        }
        MergeRun(*r, cursor);
    }
}

void SortLevels(CTreeNode& node) {
    std::stable_sort(
        node.children.begin(), node.children.end(),
        [](const std::unique_ptr<CTreeNode>& a, const std::unique_ptr<CTreeNode>& b) { return a->value < b->value; });
    for (auto& child : node.children) SortLevels(*child);
}

bool SameShape(const CTreeNode& a, const CTreeNode& b) {
    if (a.value != b.value || a.children.size() != b.children.size()) return false;
    for (std::size_t i = 0; i < a.children.size(); ++i)
        if (!SameShape(*a.children[i], *b.children[i])) return false;
    return true;
}

bool PathHoldsKind(const CTreeNode& leaf, std::int32_t kind) {
    // The root is no entity, so it never counts as one of the kind.
    for (const CTreeNode* node = &leaf; node->parent; node = node->parent)
        if (node->value.kind == kind) return true;
    return false;
}

CTreeNode* FindKind(CTreeNode& node, std::int32_t kind) {
    for (auto& child : node.children) {
        if (child->value.kind == kind) return child.get();
        if (CTreeNode* found = FindKind(*child, kind)) return found;
    }
    return nullptr;
}

}  // namespace

CEntityCollection::CEntityCollection() : m_root(new CTreeNode), m_self(this) { ResetCursor(); }

CEntityCollection::CEntityCollection(const CEntityCollection& other) : m_root(CopyTree(*other.m_root)), m_self(this) {}

CEntityCollection& CEntityCollection::operator=(const CEntityCollection& other) {
    if (this != &other) {
        m_root = CopyTree(*other.m_root);
        m_cursor.clear();
    }
    return *this;
}

CEntityCollection::~CEntityCollection() = default;

void CEntityCollection::Add(const CNode& node) {
    for (CTreeNode*& position : m_cursor) position = AppendChild(*position, node);
}

CEntityCollection& CEntityCollection::AddEnvelope() {
    m_self->Add(CNode(KIND_ENVELOPE, 0, MASK_ALL));
    return *m_self;
}

CEntityCollection& CEntityCollection::SetMask(std::int32_t mask) {
    for (CTreeNode* position : m_cursor) position->value.mask = mask;
    return *this;
}

void CEntityCollection::ResetCursor() { m_cursor.assign(1, m_root.get()); }

int CEntityCollection::NodeCount() const { return CountNodes(*m_root); }

bool CEntityCollection::Overlaps(const CEntityCollection& other, bool strict) const {
    return RunsOverlap(m_root->children, other.m_root->children, strict);
}

bool CEntityCollection::Includes(const CEntityCollection& other, bool strict) const {
    return RunIncludes(m_root->children, other.m_root->children, strict);
}

CEntityCollection CEntityCollection::PathOf(const CTreeNode& leaf) {
    std::vector<CNode> nodes;
    for (const CTreeNode* node = &leaf; node->parent; node = node->parent) nodes.push_back(node->value);
    CEntityCollection path;
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) path.Add(*it);
    return path;
}

CEntityCollection CEntityCollection::Intersect(const CEntityCollection& other) const {
    CEntityCollection result;
    std::vector<const CTreeNode*> mine;
    std::vector<const CTreeNode*> theirs;
    CollectLeaves(*m_root, mine);
    CollectLeaves(*other.m_root, theirs);
    for (const CTreeNode* x : mine) {
        const CEntityCollection xPath = PathOf(*x);
        for (const CTreeNode* y : theirs) {
            if (!PathOf(*y).Includes(xPath, false)) continue;
            for (const auto& child : xPath.m_root->children) AppendSubtree(*result.m_root, *child);
            result.Normalize();
        }
    }
    return result;
}

void CEntityCollection::Select(std::int32_t kind) {
    boost::shared_ptr<CTreeNode> selected(new CTreeNode);

    std::vector<const CTreeNode*> leaves;
    CollectLeaves(*m_root, leaves);
    for (const CTreeNode* leaf : leaves) {
        if (PathHoldsKind(*leaf, kind)) continue;
        const CEntityCollection path = PathOf(*leaf);
        for (const auto& child : path.m_root->children) AppendSubtree(*selected, *child);
    }

    while (CTreeNode* found = FindKind(*m_root, kind)) {
        AppendSubtree(*selected, *found);
        Run& siblings = found->parent->children;
        siblings.erase(std::find_if(siblings.begin(), siblings.end(),
                                    [found](const std::unique_ptr<CTreeNode>& node) { return node.get() == found; }));
    }

    // The old tree goes, and with it every position the cursor held.
    m_cursor.clear();
    m_root = selected;
    Normalize();
}

void CEntityCollection::Normalize() {
    MergeRun(*m_root, m_cursor);
    SortLevels(*m_root);
}

bool operator==(const CEntityCollection& a, const CEntityCollection& b) {
    return a.NodeCount() == b.NodeCount() && SameShape(*a.m_root, *b.m_root);
}

const CEntityCollection& GetRootOnlyCollection() {
    static const CEntityCollection rootOnly;
    return rootOnly;
}

}  // namespace SL
