#!/usr/bin/perl
# Prints every text of the program that goes through translation, one a line, sorted and
# unique: the literal arguments of tr(), QCoreApplication::translate(), QT_TR_NOOP(),
# QT_TRANSLATE_NOOP() and of the drawing's nameAction()/nameStep(), which translate the
# action name they are given. Adjacent literals ("a" "b") count as one text, as in C++.
# A text built at run time cannot be found, so translated texts are written as literals.
#
#   translatable_texts.pl FILE...
use strict;
use warnings;

my $literal = qr/"(?:[^"\\\n]|\\.)*"/;
my $literals = qr/(?:$literal\s*)+/;
my %texts;
for my $file (@ARGV) {
    open(my $in, '<:encoding(UTF-8)', $file) or die "$file: $!\n";
    local $/;
    my $source = <$in>;
    close $in;
    $source =~ s{^\s*//[^\n]*}{}mg;    # comment lines may quote texts that are not used
    my @found = ($source =~ /\b(?:tr|QT_TR_NOOP|nameAction|nameStep)\(\s*($literals)/g,
                 $source =~ /\b(?:translate|QT_TRANSLATE_NOOP)\(\s*$literal\s*,\s*($literals)/g);
    for my $found (@found) {
        my $text = join '', map { substr($_, 1, -1) } ($found =~ /($literal)/g);
        $text =~ s/\\(.)/$1 eq 'n' ? "\n" : $1/ge;
        $texts{$text} = 1;
    }
}
binmode STDOUT, ':encoding(UTF-8)';
print "$_\n" for sort keys %texts;
