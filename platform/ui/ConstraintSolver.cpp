#include "ui/ConstraintSolver.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "ui/View.h"

namespace ui {

namespace {

enum class Axis { Horizontal, Vertical };
// What an attribute fixes along its axis.
enum Role { Min, Max, Center, Size, Unused };

Axis axisOf(LayoutAttribute attribute) {
    switch (attribute) {
    case LayoutAttribute::Width:
    case LayoutAttribute::CenterX:
    case LayoutAttribute::Left:
    case LayoutAttribute::Right:
    case LayoutAttribute::Leading:
    case LayoutAttribute::Trailing:
        return Axis::Horizontal;
    default:
        return Axis::Vertical;
    }
}

Role roleOf(LayoutAttribute attribute) {
    switch (attribute) {
    case LayoutAttribute::Left:
    case LayoutAttribute::Leading:
    case LayoutAttribute::Top:
        return Min;
    case LayoutAttribute::Right:
    case LayoutAttribute::Trailing:
    case LayoutAttribute::Bottom:
        return Max;
    case LayoutAttribute::CenterX:
    case LayoutAttribute::CenterY:
        return Center;
    case LayoutAttribute::Width:
    case LayoutAttribute::Height:
        return Size;
    case LayoutAttribute::NotAnAttribute:
        return Unused;
    }
    return Unused;
}

// The origin and length of a rectangle along an axis.
struct Span {
    double origin;
    double length;
};

Span spanOf(const gfx::Rect& rect, Axis axis) {
    return axis == Axis::Horizontal ? Span{rect.minX(), rect.width()}
                                    : Span{rect.minY(), rect.height()};
}

double valueOf(const gfx::Rect& rect, LayoutAttribute attribute) {
    const Span span = spanOf(rect, axisOf(attribute));
    switch (roleOf(attribute)) {
    case Min:
        return span.origin;
    case Max:
        return span.origin + span.length;
    case Center:
        return span.origin + span.length / 2;
    case Size:
        return span.length;
    case Unused:
        return 0;
    }
    return 0;
}

// One axis of one item and the constraints that place it.
struct Node {
    View* item;
    Axis axis;
    std::vector<const LayoutConstraint*> constraints;
    enum class State { Waiting, Solving, Solved } state = State::Waiting;
};

class Solver {
public:
    explicit Solver(View& holder) : holder_(holder) {}

    void add(View* item, const LayoutConstraint* constraint) {
        const Axis axis = axisOf(constraint->attribute());
        Node* node = find(item, axis);
        if (!node) {
            nodes_.push_back(Node{item, axis, {}});
            node = &nodes_.back();
        }
        node->constraints.push_back(constraint);
    }

    void solveAll() {
        for (Node& node : nodes_) solve(node);
    }

private:
    Node* find(const View* item, Axis axis) {
        const auto found = std::find_if(nodes_.begin(), nodes_.end(), [&](const Node& node) {
            return node.item == item && node.axis == axis;
        });
        return found == nodes_.end() ? nullptr : &*found;
    }

    // The rectangle of a view in the holder's coordinates.
    [[nodiscard]] gfx::Rect rectOf(const View& view) const {
        if (&view == &holder_) return holder_.bounds();
        if (view.superview().get() == &holder_) return view.frame();
        return holder_.convertRectFrom(view.bounds(), &view);
    }

    // Solves first the axes of the views this node's constraints refer to
    // (a cycle leaves the later ones at their current value).
    void solve(Node& node) {
        if (node.state != Node::State::Waiting) return;
        node.state = Node::State::Solving;
        for (const LayoutConstraint* constraint : node.constraints) {
            const auto to = constraint->toItem();
            if (!to || to.get() == &holder_ ||
                constraint->toAttribute() == LayoutAttribute::NotAnAttribute) {
                continue;
            }
            if (Node* dependency = find(to.get(), axisOf(constraint->toAttribute()))) {
                solve(*dependency);
            }
        }
        place(node);
        node.state = Node::State::Solved;
    }

    void place(const Node& node) const {
        struct Bound {
            Role role;
            LayoutRelation relation;
            double value;
        };
        std::array<std::optional<double>, 4> equal;
        std::vector<Bound> bounds;
        for (const LayoutConstraint* constraint : node.constraints) {
            const Role role = roleOf(constraint->attribute());
            if (role == Unused) continue;
            double value = constraint->constant();
            const auto to = constraint->toItem();
            if (to && constraint->toAttribute() != LayoutAttribute::NotAnAttribute) {
                value += valueOf(rectOf(*to), constraint->toAttribute()) * constraint->multiplier();
            }
            if (constraint->relation() == LayoutRelation::Equal) {
                equal[role] = value;
            } else {
                bounds.push_back({role, constraint->relation(), value});
            }
        }

        View& item = *node.item;
        const gfx::Rect frame = item.frame();
        const Span current = spanOf(frame, node.axis);
        double length = current.length;
        if (equal[Size]) {
            length = *equal[Size];
        } else if (equal[Min] && equal[Max]) {
            length = *equal[Max] - *equal[Min];
        } else if (equal[Min] && equal[Center]) {
            length = 2 * (*equal[Center] - *equal[Min]);
        } else if (equal[Max] && equal[Center]) {
            length = 2 * (*equal[Max] - *equal[Center]);
        } else {
            const gfx::Size intrinsic = item.intrinsicContentSize();
            const double natural =
                node.axis == Axis::Horizontal ? intrinsic.width : intrinsic.height;
            if (natural >= 0) length = natural;
        }
        const auto clamp = [](double value, const Bound& bound) {
            return bound.relation == LayoutRelation::GreaterThanOrEqual
                       ? std::max(value, bound.value)
                       : std::min(value, bound.value);
        };
        for (const Bound& bound : bounds) {
            if (bound.role == Size) length = clamp(length, bound);
        }
        length = std::max(0.0, length);

        double origin = current.origin;
        if (equal[Min]) {
            origin = *equal[Min];
        } else if (equal[Max]) {
            origin = *equal[Max] - length;
        } else if (equal[Center]) {
            origin = *equal[Center] - length / 2;
        }
        for (const Bound& bound : bounds) {
            const double offset = bound.role == Max      ? length
                                  : bound.role == Center ? length / 2
                                                         : 0;
            if (bound.role != Size) origin = clamp(origin + offset, bound) - offset;
        }

        item.setFrame(node.axis == Axis::Horizontal
                          ? gfx::Rect(origin, frame.minY(), length, frame.height())
                          : gfx::Rect(frame.minX(), origin, frame.width(), length));
    }

    View& holder_;
    std::vector<Node> nodes_;
};

}  // namespace

void applyConstraints(View& holder) {
    Solver solver(holder);
    for (const auto& constraint : holder.constraints()) {
        const auto item = constraint->item();
        if (item && item->superview().get() == &holder) solver.add(item.get(), constraint.get());
    }
    for (const auto& subview : holder.subviews()) {
        for (const auto& constraint : subview->constraints()) {
            const auto to = constraint->toItem();
            if (constraint->item() == subview && (!to || to == subview)) {
                solver.add(subview.get(), constraint.get());
            }
        }
    }
    solver.solveAll();
}

}  // namespace ui
