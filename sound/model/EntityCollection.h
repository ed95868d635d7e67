#pragma once

// Entity collections: which entities, by kind and id, and which of their attribute groups a
// copy operation takes. A collection is a tree of constraint nodes below one root; each path
// from the root to a leaf reads "in this entity, inside it that entity, these groups".

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace SL {

// An entity kind and an id within it; id -1 stands for any id.
class CEntityIdConstraint {
public:
    CEntityIdConstraint() : kind(-1), id(-2) {}
    CEntityIdConstraint(std::int32_t kindValue, std::int32_t idValue) : kind(kindValue), id(idValue) {}

    // Equal kinds and compatible ids (equal, or either is -1).
    bool Matches(const CEntityIdConstraint& other) const {
        return kind == other.kind && (id == other.id || id == -1 || other.id == -1);
    }

    std::int32_t kind;
    std::int32_t id;
};

class CEntityCollection {
public:
    // Entity kinds and attribute groups (mask bits) used by the sound model.
    enum : std::int32_t {
        KIND_CHANNEL = 1,
        KIND_ENVELOPE = 2,
        ANY_ID = -1,
        MASK_ALL = 0,
        MASK_SAMPLES = 0x10,                             // a channel's samples; an envelope's points
        MASK_RANGE = 0x20,                               // a channel's range; an envelope's points' curve codes
        MASK_ATTRIBUTES = ~(MASK_SAMPLES | MASK_RANGE),  // -49: everything else
    };

    // Mask 0 selects all attributes of the entity. The default node (kind -1, id -2, mask 0)
    // is the root of every collection.
    class CNode : public CEntityIdConstraint {
    public:
        CNode() : mask(0) {}
        CNode(std::int32_t kindValue, std::int32_t idValue, std::int32_t maskValue)
            : CEntityIdConstraint(kindValue, idValue), mask(maskValue) {}

        // Kind, then id, then mask, each as a signed integer.
        friend bool operator<(const CNode& a, const CNode& b) {
            if (a.kind != b.kind) return a.kind < b.kind;
            if (a.id != b.id) return a.id < b.id;
            return a.mask < b.mask;
        }
        friend bool operator==(const CNode& a, const CNode& b) {
            return a.kind == b.kind && a.id == b.id && a.mask == b.mask;
        }
        friend bool operator!=(const CNode& a, const CNode& b) { return !(a == b); }

        std::int32_t mask;
    };

    // A tree position; the tree owns its nodes.
    struct CTreeNode {
        CNode value;
        CTreeNode* parent = nullptr;
        std::vector<std::unique_ptr<CTreeNode>> children;

        bool IsLeaf() const { return children.empty(); }
    };

    // The root alone, the cursor on it.
    CEntityCollection();
    // A deep copy of the other's tree with an empty cursor: Add and SetMask change nothing on it.
    CEntityCollection(const CEntityCollection& other);
    CEntityCollection& operator=(const CEntityCollection& other);
    ~CEntityCollection();

    // Appends a copy of the node below every cursor position and moves the cursor onto it, so
    // successive calls build a chain.
    void Add(const CNode& node);
    void Add(std::int32_t kind, std::int32_t id, std::int32_t mask) { Add(CNode(kind, id, mask)); }
    // Adds the whole envelope (kind 2, id 0, mask 0).
    CEntityCollection& AddEnvelope();
    // Stores the mask in the node at every cursor position.
    CEntityCollection& SetMask(std::int32_t mask);
    void ResetCursor();

    // All nodes, the root included: 1 selects nothing.
    int NodeCount() const;
    // Whether the two share some selected attribute. With strict, a leaf never matches an
    // inner node.
    bool Overlaps(const CEntityCollection& other, bool strict) const;
    // Whether every attribute the other selects is selected here.
    bool Includes(const CEntityCollection& other, bool strict) const;
    // The leaf paths of this collection that lie within some leaf path of the other.
    CEntityCollection Intersect(const CEntityCollection& other) const;
    // Re-roots at the entities of this kind: each stands directly below the root with its own
    // sub-selection; leaf paths without the kind stay. The cursor is emptied (ResetCursor
    // before adding again).
    void Select(std::int32_t kind);
    // Merges equal siblings (masks of leaves OR-ed, children of inner nodes joined; a leaf
    // with mask 0 never merges) and sorts every level stably.
    void Normalize();

    // Same node count, and a pre-order walk meets equal nodes with equal child counts.
    friend bool operator==(const CEntityCollection& a, const CEntityCollection& b);
    friend bool operator!=(const CEntityCollection& a, const CEntityCollection& b) { return !(a == b); }

    const CTreeNode& GetRoot() const { return *m_root; }

    // The leaf path of a leaf of this collection, as a chain below a root of its own.
    static CEntityCollection PathOf(const CTreeNode& leaf);

private:
    boost::shared_ptr<CTreeNode> m_root;
    std::vector<CTreeNode*> m_cursor;
    CEntityCollection* m_self;
};

// The process-wide collection holding only its root. A selection equal to it selects everything.
const CEntityCollection& GetRootOnlyCollection();

}  // namespace SL
