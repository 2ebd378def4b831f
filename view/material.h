#pragma once

#include <QColor>

// How a node's surface is shaded: its colour, lit by the scene's light, or drawn flat in that
// colour (lines of the ground grid, which have no surface to light).
class Material
{
public:
    enum class Shading
    {
        Lit,
        Flat
    };

    explicit Material(const QColor& colour, Shading shading = Shading::Lit)
        : colour(colour), shading(shading)
    {
    }

    QColor getColour() const { return colour; }
    Shading getShading() const { return shading; }

private:
    QColor colour;
    Shading shading;
};
